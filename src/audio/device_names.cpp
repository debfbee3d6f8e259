#include "audio/device_names.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace auralyn::audio {

namespace {

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

NameMatch matchDeviceName(const std::string& wanted, std::span<const std::string> names, const char* direction) {
    std::vector<std::size_t> partial;
    const std::string needle = lowered(wanted);
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == wanted) {
            return {i, ""};
        }
        if (lowered(names[i]).find(needle) != std::string::npos) {
            partial.push_back(i);
        }
    }
    if (partial.size() == 1) {
        return {partial.front(), ""};
    }
    if (partial.empty()) {
        return {std::nullopt, std::string("there is no ") + direction + " device \"" + wanted +
                                  "\" (auralyn devices lists them)"};
    }
    std::string candidates;
    for (const std::size_t i : partial) {
        candidates += (candidates.empty() ? "\"" : ", \"") + names[i] + "\"";
    }
    return {std::nullopt, std::string("the ") + direction + " device name \"" + wanted + "\" fits " + candidates};
}

}  // namespace auralyn::audio
