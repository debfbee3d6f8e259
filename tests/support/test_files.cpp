#include "test_files.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace auralyn::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "auralyn-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> filesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

Bytes readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFileBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string readFileText(const std::string& path) {
    Bytes bytes = readFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

std::string withLineFeeds(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isFourDecimals(const std::string& field, bool mayBeNegative) {
    std::size_t i = mayBeNegative && !field.empty() && field[0] == '-' ? 1 : 0;
    const std::size_t integerStart = i;
    while (i < field.size() && isDigit(field[i])) ++i;
    if (i == integerStart || i >= field.size() || field[i] != '.') return false;
    const std::size_t decimalsStart = ++i;
    while (i < field.size() && isDigit(field[i])) ++i;
    return i == field.size() && i - decimalsStart == 4;
}

}  // namespace

bool isFourDecimalRow(const std::string& line, std::size_t unsignedFields) {
    std::size_t start = 0;
    for (std::size_t field = 0; field < 3; ++field) {
        const std::size_t end = field < 2 ? line.find(' ', start) : line.size();
        if (end == std::string::npos) return false;
        if (!isFourDecimals(line.substr(start, end - start), field >= unsignedFields)) return false;
        start = end + 1;
    }
    return true;
}

}  // namespace auralyn::test
