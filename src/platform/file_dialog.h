#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace auralyn::platform {

// Flag values of the Windows file dialogs; the console questions honour the same meanings.
enum DialogFlag : unsigned {
    kOverwritePrompt = 0x0002,
    kFileMustExist = 0x1000,
    kNoReadOnlyReturn = 0x8000,
};

struct DialogSettings {
    const char* title;             // printed as the question on the console
    const char* filter;            // pairs of zero-terminated texts, ended by an empty text
    const char* defaultExtension;  // without the dot; nullptr for none
    unsigned flags;
};

// One file-name record reused by all the questions of a program: the path buffer
// and the offsets of the last answer carry over from one question to the next.
// On Windows it is the common dialogs' record; elsewhere the questions are asked
// on the console.
class FileDialog {
public:
    static constexpr std::size_t kPathCapacity = 600;  // characters, terminator included

    FileDialog();
    ~FileDialog();
    FileDialog(const FileDialog&) = delete;
    FileDialog& operator=(const FileDialog&) = delete;

    // False when the user cancelled. On success path(), fileOffset() and
    // extensionOffset() describe the chosen file.
    bool askSave(const DialogSettings& settings);
    bool askOpen(const DialogSettings& settings);

    const char* path() const;
    void setPath(const char* text);  // the proposal for the next question; cut to capacity
    std::uint16_t fileOffset() const;       // offset of the name after the last folder separator
    std::uint16_t extensionOffset() const;  // offset after the last dot of the name; see path_names.h

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The error message box: caption "Error", an exclamation icon and an OK button.
void showErrorMessage(const char* text);

}  // namespace auralyn::platform
