#include "platform/console.h"

#include <windows.h>

namespace auralyn::platform {

// A console is a character device that answers GetConsoleMode; the NUL device is a
// character device too, but nobody types into it.
bool standardInputIsTerminal() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) return false;
    if (GetFileType(input) != FILE_TYPE_CHAR) return false;
    DWORD mode = 0;
    return GetConsoleMode(input, &mode) != 0;
}

void discardTypedAhead() { FlushConsoleInputBuffer(GetStdHandle(STD_INPUT_HANDLE)); }

}  // namespace auralyn::platform
