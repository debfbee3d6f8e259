#include "platform/console_question.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <filesystem>
#include <system_error>

#include "platform/path_names.h"

namespace auralyn::platform {
namespace {

// Longer answers are no file name anyone means; keeping a bounded prefix keeps a
// hostile line from growing memory without limit.
constexpr std::size_t kKeptAnswerLength = 4096;

bool isWhitespace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

bool readLineFrom(const ConsoleQuestion& console, const std::string& prompt, std::string& line) {
    if (console.readLine) return console.readLine(prompt, line);
    std::fputs(prompt.c_str(), console.out);
    std::fflush(console.out);
    return readAnswerLine(console.in, line, kKeptAnswerLength);
}

void reportError(const ConsoleQuestion& console, const std::string& text) {
    std::fflush(console.out);
    writeErrorLine(console.err, text);
}

std::filesystem::file_status statusOf(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::status(path, ignored);
}

bool exists(const std::string& path) { return std::filesystem::exists(statusOf(path)); }
bool isFolder(const std::string& path) { return std::filesystem::is_directory(statusOf(path)); }

bool namesAFolder(const std::string& path) {
    return path.empty() || pathOffsets(path).file == path.size() || isFolder(path);
}

bool endsWithExtension(const std::string& path, const char* extension) {
    const std::string tail = std::string(".") + extension;
    if (path.size() < tail.size()) return false;
    return std::equal(tail.begin(), tail.end(), path.end() - static_cast<std::ptrdiff_t>(tail.size()),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) ==
                                                  std::tolower(static_cast<unsigned char>(b)); });
}

// The dialogs add their default extension to a name typed without one. A proposal
// accepted as it stands is a base name (the recording rec.take1.wav proposes
// rec.take1), so it gets the extension unless it already ends in it. An open
// question takes an existing file as typed, so files without extension stay reachable.
std::string withDefaultExtension(const std::string& path, const DialogSettings& settings, FileQuestion kind,
                                 bool proposed) {
    if (settings.defaultExtension == nullptr || *settings.defaultExtension == '\0') return path;
    if (proposed ? endsWithExtension(path, settings.defaultExtension) : hasExtension(path)) return path;
    if (kind == FileQuestion::open && exists(path)) return path;
    return path + "." + settings.defaultExtension;
}

enum class Confirmation { yes, no, endOfInput };

Confirmation confirmReplace(const ConsoleQuestion& console, const std::string& path) {
    const std::string prompt = "\n" + path + " already exists. Replace it? (y/n) ";
    for (;;) {
        std::string answer;
        if (!readLineFrom(console, prompt, answer)) return Confirmation::endOfInput;
        answer = trimWhitespace(answer);
        if (answer.empty()) continue;
        int first = std::tolower(static_cast<unsigned char>(answer[0]));
        if (first == 'y') return Confirmation::yes;
        if (first == 'n') return Confirmation::no;
    }
}

std::string questionPrompt(const DialogSettings& settings, const std::string& proposal) {
    std::string prompt = "\n";
    prompt += settings.title != nullptr ? settings.title : "File name";
    if (!proposal.empty()) prompt += " [" + proposal + "]";
    return prompt + ": ";
}

// The file an answer names, and why it cannot be taken when it cannot.
struct CheckedAnswer {
    std::string path;   // empty when the answer names no file
    std::string error;  // empty when the path can be taken
};

CheckedAnswer checkAnswer(const ConsoleQuestion& console, const DialogSettings& settings, FileQuestion kind,
                          const std::string& answer, bool proposed) {
    const std::string tooLong = "The file name is too long.";
    if (answer.find('\0') != std::string::npos) return {"", "The file name is not valid."};
    std::string path = expandHomeFolder(answer, console.home);
    if (path.size() > console.maxPathLength) return {"", tooLong};
    if (namesAFolder(path)) return {"", path + " is a folder, not a file."};
    path = withDefaultExtension(path, settings, kind, proposed);
    if (path.size() > console.maxPathLength) return {"", tooLong};
    if (kind == FileQuestion::open && (settings.flags & kFileMustExist) != 0 && !exists(path))
        return {path, path + " does not exist."};
    return {path, ""};
}

bool needsReplaceConfirmation(const ConsoleQuestion& console, const DialogSettings& settings, FileQuestion kind,
                              const std::string& path) {
    // Piped answers get no extra question, or every later answer would shift by one.
    return kind == FileQuestion::save && (settings.flags & kOverwritePrompt) != 0 && console.interactive &&
           exists(path);
}

}  // namespace

std::optional<std::string> askFileOnConsole(const ConsoleQuestion& console, const DialogSettings& settings,
                                            FileQuestion kind, const std::string& proposal) {
    std::string current = proposal;
    for (;;) {
        std::string answer;
        if (!readLineFrom(console, questionPrompt(settings, current), answer)) return std::nullopt;
        answer = trimWhitespace(answer);
        const bool proposed = answer.empty();
        if (proposed) {
            if (current.empty()) continue;
            answer = current;
        }
        CheckedAnswer checked = checkAnswer(console, settings, kind, answer, proposed);
        // Like the dialog's name box, the question keeps what was typed for the next try.
        if (!checked.path.empty()) current = checked.path;
        if (!checked.error.empty()) {
            reportError(console, checked.error);
            continue;
        }
        if (needsReplaceConfirmation(console, settings, kind, checked.path)) {
            Confirmation replace = confirmReplace(console, checked.path);
            if (replace == Confirmation::endOfInput) return std::nullopt;
            if (replace == Confirmation::no) continue;
        }
        return checked.path;
    }
}

void writeErrorLine(std::FILE* err, const std::string& text) {
    std::fprintf(err, "Error: %s\n", text.c_str());
    std::fflush(err);
}

bool readAnswerLine(std::FILE* in, std::string& line, std::size_t keep) {
    line.clear();
    int c = std::getc(in);
    if (c == EOF) return false;
    for (; c != EOF && c != '\n'; c = std::getc(in))
        if (line.size() < keep) line.push_back(static_cast<char>(c));
    return true;
}

std::string trimWhitespace(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isWhitespace(text[begin])) ++begin;
    while (end > begin && isWhitespace(text[end - 1])) --end;
    return std::string(text.substr(begin, end - begin));
}

std::string expandHomeFolder(const std::string& path, const std::string& home) {
    if (home.empty() || path.rfind("~/", 0) != 0) return path;
    if (home.back() == '/') return home + path.substr(2);
    return home + path.substr(1);
}

bool hasExtension(const std::string& path) {
    if (path.size() > 0xFFFF) return false;  // beyond what the dialog offsets can describe
    PathOffsets offsets = pathOffsets(path);
    return offsets.extension != path.size();
}

}  // namespace auralyn::platform
