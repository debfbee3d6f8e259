#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_dialog.h"

namespace auralyn::platform {

// Shows the prompt and reads one answer line into `line`; false at end of input.
using LineReader = std::function<bool(const std::string& prompt, std::string& line)>;

// Where the console file questions talk to the user. Any platform can use them:
// POSIX always, Windows when standard input is redirected.
struct ConsoleQuestion {
    std::FILE* in = stdin;      // answers, unless `readLine` is set
    std::FILE* out = stdout;    // questions
    std::FILE* err = stderr;    // error lines
    bool interactive = false;   // a person answers: confirm before replacing a file
    std::string home;           // the folder a leading "~/" stands for; empty: no expansion
    LineReader readLine;        // line editing; empty: plain lines from `in`
    std::size_t maxPathLength = FileDialog::kPathCapacity - 1;
};

enum class FileQuestion { save, open };

// Asks for a file name as the file dialogs would: the title as question, the proposal
// taken by an empty line, the default extension added, a replace confirmation under
// kOverwritePrompt (interactive only) and a refusal of missing files under
// kFileMustExist. Empty result: end of input, which is a cancel.
std::optional<std::string> askFileOnConsole(const ConsoleQuestion& console, const DialogSettings& settings,
                                            FileQuestion kind, const std::string& proposal);

// The message box on a console: "Error: TEXT" as one line on `err`.
void writeErrorLine(std::FILE* err, const std::string& text);

// One whole line from `in` without its line end; at most `keep` characters are kept,
// the rest of a longer line is read and dropped. False at end of input before any character.
bool readAnswerLine(std::FILE* in, std::string& line, std::size_t keep);

std::string trimWhitespace(std::string_view text);
std::string expandHomeFolder(const std::string& path, const std::string& home);
// True when the last component of the path holds a dot.
bool hasExtension(const std::string& path);

}  // namespace auralyn::platform
