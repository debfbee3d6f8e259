#pragma once

// Stand-ins for the Win32 calls of the platform layer. The test executable defines
// the import slots (__imp_...) itself, so every call the platform code makes through
// them lands here: the dialogs and message boxes answer from a script, and standard
// input can be made to look like a console, a pipe, a file or the NUL device.
#include <windows.h>

#include <commdlg.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace auralyn::test::win32 {

// A copy of the record as a dialog received it.
struct DialogCall {
    bool save = false;
    const OPENFILENAMEA* address = nullptr;
    OPENFILENAMEA record{};
    std::string pathOnEntry;
    std::string filter;  // every string of the list, each with its terminating zero
    std::string title;
    std::optional<std::string> defaultExtension;
};

// What the next dialog does: accept a path (with the offsets a real dialog reports)
// or return 0, leaving an extended error (0 for a plain cancel).
struct DialogAnswer {
    bool accept = true;
    std::string path;
    WORD fileOffset = 0;
    WORD extensionOffset = 0;
    DWORD filterIndex = 1;
    DWORD extendedError = 0;
};

struct MessageBoxCall {
    HWND owner = nullptr;
    std::string text;
    std::string caption;
    UINT style = 0;
};

// How standard input looks to GetFileType and GetConsoleMode; nullopt: as it is.
struct StandardInput {
    DWORD fileType = FILE_TYPE_CHAR;
    bool consoleMode = true;
};

struct Fakes {
    std::vector<DialogCall> dialogs;
    std::deque<DialogAnswer> answers;
    std::vector<MessageBoxCall> messageBoxes;
    DWORD extendedError = 0;
    std::optional<StandardInput> standardInput;
};

Fakes& fakes();
void resetFakes();

StandardInput console();
StandardInput pipe();
StandardInput diskFile();
StandardInput nulDevice();

}  // namespace auralyn::test::win32
