#include "mkdtemp_win32.h"

#include <windows.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr char kNameCharacters[] = "abcdefghijklmnopqrstuvwxyz0123456789";

unsigned nextRandom(unsigned& state) {
    state = state * 1103515245u + 12345u;
    return state >> 8;
}

}  // namespace

extern "C" char* mkdtemp(char* pathTemplate) {
    const std::size_t length = std::strlen(pathTemplate);
    if (length < 6 || std::strcmp(pathTemplate + length - 6, "XXXXXX") != 0) {
        errno = EINVAL;
        return nullptr;
    }
    unsigned state = GetCurrentProcessId() ^ GetTickCount() ^ static_cast<unsigned>(reinterpret_cast<UINT_PTR>(pathTemplate));
    for (int attempt = 0; attempt < 1000; ++attempt) {
        for (std::size_t i = length - 6; i < length; ++i)
            pathTemplate[i] = kNameCharacters[nextRandom(state) % (sizeof kNameCharacters - 1)];
        if (CreateDirectoryA(pathTemplate, nullptr) != 0) return pathTemplate;
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    errno = EEXIST;
    return nullptr;
}
