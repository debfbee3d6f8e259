#pragma once

#include <cstdio>
#include <optional>

namespace auralyn::generator {

// The console the parameter dialogue reads its answers from. The file questions
// read from the same stdio stream, so piped answers are never split between two
// read-ahead buffers.
struct ConsoleInput {
    std::FILE* in = stdin;
    std::FILE* out = stdout;   // flushed before every read, so the question is on screen
    bool interactive = false;  // a terminal: the rest of a typed line is thrown away before each read
    bool lineOpen = false;     // the last read stopped before the end of its line
};

// The first answer within [min, max] (the bounds swapped if need be), or the default
// for a blank line when the default is within them. At the end of input: the default
// when it is within the bounds, otherwise nothing.
std::optional<double> readNumber(ConsoleInput& input, double min, double max, double defaultValue);

// True for an answer starting with y, false for n; other answers are skipped.
// The end of input answers no.
bool readYesNo(ConsoleInput& input);

// True when the text holds nothing but spaces, tabs, line feeds and carriage returns.
bool isBlankLine(const char* text);

}  // namespace auralyn::generator
