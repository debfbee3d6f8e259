// File questions on POSIX systems: asked on the console, with line editing and file
// name completion when a person answers at a terminal.
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#ifdef AURALYN_HAVE_READLINE
#include <readline/history.h>
#include <readline/readline.h>
#endif

#include "platform/console.h"
#include "platform/console_question.h"
#include "platform/file_dialog.h"
#include "platform/path_names.h"

namespace auralyn::platform {
namespace {

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') return home;
    const passwd* entry = getpwuid(getuid());
    return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "";
}

#ifdef AURALYN_HAVE_READLINE
// Readline redraws only the last line of its prompt, so the leading line feeds go out first.
bool readEditedLine(const std::string& prompt, std::string& line) {
    std::size_t lastLine = prompt.find_last_of('\n');
    lastLine = lastLine == std::string::npos ? 0 : lastLine + 1;
    std::fputs(prompt.substr(0, lastLine).c_str(), stdout);
    std::fflush(stdout);
    char* text = readline(prompt.substr(lastLine).c_str());
    if (text == nullptr) {
        std::fputc('\n', stdout);
        return false;
    }
    line = text;
    if (*text != '\0') add_history(text);
    std::free(text);
    return true;
}
#endif

ConsoleQuestion standardConsole() {
    ConsoleQuestion console;
    console.interactive = standardInputIsTerminal();
    console.home = homeFolder();
#ifdef AURALYN_HAVE_READLINE
    // Piped answers stay on stdin's own buffer, which the parameter dialogue reads too.
    if (console.interactive) console.readLine = readEditedLine;
#endif
    return console;
}

}  // namespace

struct FileDialog::State {
    char path[kPathCapacity] = {};
    std::uint16_t fileOffset = 0;
    std::uint16_t extensionOffset = 0;

    bool ask(const DialogSettings& settings, FileQuestion kind) {
        std::optional<std::string> chosen = askFileOnConsole(standardConsole(), settings, kind, path);
        if (!chosen) return false;
        store(*chosen);
        PathOffsets offsets = pathOffsets(path);
        fileOffset = offsets.file;
        extensionOffset = offsets.extension;
        return true;
    }

    void store(const std::string& text) {
        std::size_t length = std::min(text.size(), kPathCapacity - 1);
        std::memcpy(path, text.data(), length);
        path[length] = '\0';
    }
};

FileDialog::FileDialog() : state_(std::make_unique<State>()) {}
FileDialog::~FileDialog() = default;

bool FileDialog::askSave(const DialogSettings& settings) { return state_->ask(settings, FileQuestion::save); }
bool FileDialog::askOpen(const DialogSettings& settings) { return state_->ask(settings, FileQuestion::open); }

const char* FileDialog::path() const { return state_->path; }
void FileDialog::setPath(const char* text) { state_->store(text != nullptr ? text : ""); }
std::uint16_t FileDialog::fileOffset() const { return state_->fileOffset; }
std::uint16_t FileDialog::extensionOffset() const { return state_->extensionOffset; }

void showErrorMessage(const char* text) {
    std::fflush(stdout);
    writeErrorLine(stderr, text != nullptr ? text : "");
}

}  // namespace auralyn::platform
