// File questions on Windows: the common open and save dialogs, one record reused by
// all the questions of a program. With standard input redirected from a file or a
// pipe nobody sits at the dialogs, so the questions are asked on the console instead,
// exactly as elsewhere, and piped answers drive the program.
#include <windows.h>

#include <commdlg.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "platform/console.h"
#include "platform/console_question.h"
#include "platform/file_dialog.h"
#include "platform/path_names.h"

namespace auralyn::platform {
namespace {

// The common dialogs return 0 both for a cancel and for a dialog that could not be
// shown; only the latter leaves an extended error, and the program must not end
// without a word about it.
void reportDialogFailure() {
    const DWORD error = CommDlgExtendedError();
    if (error == 0) return;
    char text[64];
    std::snprintf(text, sizeof text, "The file dialog could not be shown (error 0x%lX).",
                  static_cast<unsigned long>(error));
    std::fflush(stdout);
    writeErrorLine(stderr, text);
}

}  // namespace

struct FileDialog::State {
    OPENFILENAMEA record{};
    char path[kPathCapacity] = {};
    const bool onConsole = !standardInputIsTerminal();

    State() {
        // Zeroed: no owner window, no instance, no custom filter, no file-title
        // buffer, no initial folder; filter index 0 selects the first filter.
        record.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
        record.lpstrFile = path;
        record.nMaxFile = kPathCapacity;
        record.nFilterIndex = 0;
    }

    // Everything else in the record, the path and both offsets included, stays as the
    // previous question left it.
    void apply(const DialogSettings& settings) {
        record.lpstrFilter = settings.filter;
        record.lpstrTitle = settings.title;
        record.lpstrDefExt = settings.defaultExtension;
        record.Flags = settings.flags;
    }

    bool ask(const DialogSettings& settings, FileQuestion kind) {
        apply(settings);
        if (onConsole) return askOnConsole(settings, kind);
        const BOOL accepted = kind == FileQuestion::save ? GetSaveFileNameA(&record) : GetOpenFileNameA(&record);
        if (accepted != 0) return true;
        reportDialogFailure();
        return false;
    }

    bool askOnConsole(const DialogSettings& settings, FileQuestion kind) {
        const std::optional<std::string> chosen = askFileOnConsole(ConsoleQuestion{}, settings, kind, path);
        if (!chosen) return false;
        store(*chosen);
        const PathOffsets offsets = pathOffsets(path);
        record.nFileOffset = offsets.file;
        record.nFileExtension = offsets.extension;
        return true;
    }

    void store(const std::string& text) {
        const std::size_t length = std::min(text.size(), kPathCapacity - 1);
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
std::uint16_t FileDialog::fileOffset() const { return state_->record.nFileOffset; }
std::uint16_t FileDialog::extensionOffset() const { return state_->record.nFileExtension; }

void showErrorMessage(const char* text) {
    const char* message = text != nullptr ? text : "";
    if (!standardInputIsTerminal()) {
        // A message box would wait for a click nobody can give.
        std::fflush(stdout);
        writeErrorLine(stderr, message);
        return;
    }
    MessageBoxA(nullptr, message, "Error", MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace auralyn::platform
