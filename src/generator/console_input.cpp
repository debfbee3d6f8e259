#include "generator/console_input.h"

#include <cctype>
#include <cstdlib>
#include <utility>

namespace auralyn::generator {
namespace {

// Answers are judged on their first 19 characters.
constexpr int kLineBufferSize = 20;

// On a terminal each read starts on a fresh line. Only a line that the previous read
// left unfinished is drained, so this never waits for the user to type another one.
void startFreshLine(ConsoleInput& input) {
    std::fflush(input.out);
    if (!input.interactive || !input.lineOpen) return;
    int c;
    do c = std::getc(input.in);
    while (c != '\n' && c != EOF);
    input.lineOpen = false;
}

// Up to 19 characters of one line, its line feed included when it fits, as fgets
// reads them; counted here so that a typed NUL cannot hide where the line ended.
bool readLine(ConsoleInput& input, char (&line)[kLineBufferSize]) {
    startFreshLine(input);
    int length = 0;
    int c = EOF;
    while (length < kLineBufferSize - 1 && (c = std::getc(input.in)) != EOF) {
        line[length++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    line[length] = '\0';
    if (length == 0) return false;
    input.lineOpen = c != '\n' && c != EOF;
    return true;
}

}  // namespace

std::optional<double> readNumber(ConsoleInput& input, double min, double max, double defaultValue) {
    if (min > max) std::swap(min, max);
    const bool defaultAllowed = min <= defaultValue && defaultValue <= max;
    for (;;) {
        char line[kLineBufferSize];
        if (!readLine(input, line)) {
            if (defaultAllowed) return defaultValue;
            return std::nullopt;
        }
        if (defaultAllowed && isBlankLine(line)) return defaultValue;
        double value = std::strtod(line, nullptr);
        if (min <= value && value <= max) return value;
    }
}

bool readYesNo(ConsoleInput& input) {
    for (;;) {
        startFreshLine(input);
        int c = std::getc(input.in);
        if (c == EOF) return false;
        input.lineOpen = c != '\n';
        c = std::tolower(c);
        if (c == 'y') return true;
        if (c == 'n') return false;
    }
}

bool isBlankLine(const char* text) {
    for (; *text != '\0'; ++text)
        if (*text != ' ' && *text != '\t' && *text != '\n' && *text != '\r') return false;
    return true;
}

}  // namespace auralyn::generator
