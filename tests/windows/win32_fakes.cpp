#include "win32_fakes.h"

namespace auralyn::test::win32 {
namespace {

std::string filterList(const char* filter) {
    std::string list;
    if (filter == nullptr) return list;
    for (const char* entry = filter; *entry != '\0'; entry += std::char_traits<char>::length(entry) + 1)
        list.append(entry, std::char_traits<char>::length(entry) + 1);
    return list;
}

BOOL answerDialog(bool save, OPENFILENAMEA* record) {
    Fakes& state = fakes();
    DialogCall call;
    call.save = save;
    call.address = record;
    call.record = *record;
    call.pathOnEntry = record->lpstrFile != nullptr ? record->lpstrFile : "";
    call.filter = filterList(record->lpstrFilter);
    call.title = record->lpstrTitle != nullptr ? record->lpstrTitle : "";
    if (record->lpstrDefExt != nullptr) call.defaultExtension = record->lpstrDefExt;
    state.dialogs.push_back(call);

    if (state.answers.empty()) {
        state.extendedError = 0;
        return FALSE;
    }
    DialogAnswer answer = state.answers.front();
    state.answers.pop_front();
    state.extendedError = answer.extendedError;
    if (!answer.accept) return FALSE;
    answer.path.copy(record->lpstrFile, record->nMaxFile - 1);
    record->lpstrFile[std::min<std::size_t>(answer.path.size(), record->nMaxFile - 1)] = '\0';
    record->nFileOffset = answer.fileOffset;
    record->nFileExtension = answer.extensionOffset;
    record->nFilterIndex = answer.filterIndex;
    return TRUE;
}

BOOL WINAPI fakeGetSaveFileNameA(OPENFILENAMEA* record) { return answerDialog(true, record); }
BOOL WINAPI fakeGetOpenFileNameA(OPENFILENAMEA* record) { return answerDialog(false, record); }
DWORD WINAPI fakeCommDlgExtendedError() { return fakes().extendedError; }

int WINAPI fakeMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    fakes().messageBoxes.push_back({owner, text != nullptr ? text : "", caption != nullptr ? caption : "", style});
    return IDOK;
}

template <typename Function>
Function realFunction(const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name)));
}

bool isStandardInput(HANDLE handle) {
    static const auto realGetStdHandle = realFunction<decltype(&GetStdHandle)>("GetStdHandle");
    return handle == realGetStdHandle(STD_INPUT_HANDLE);
}

DWORD WINAPI fakeGetFileType(HANDLE handle) {
    static const auto real = realFunction<decltype(&GetFileType)>("GetFileType");
    const std::optional<StandardInput>& input = fakes().standardInput;
    if (input && isStandardInput(handle)) return input->fileType;
    return real(handle);
}

BOOL WINAPI fakeGetConsoleMode(HANDLE handle, LPDWORD mode) {
    static const auto real = realFunction<decltype(&GetConsoleMode)>("GetConsoleMode");
    const std::optional<StandardInput>& input = fakes().standardInput;
    if (!input || !isStandardInput(handle)) return real(handle, mode);
    if (!input->consoleMode) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *mode = ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_PROCESSED_INPUT;
    return TRUE;
}

}  // namespace

Fakes& fakes() {
    static Fakes state;
    return state;
}

void resetFakes() { fakes() = Fakes{}; }

StandardInput console() { return {FILE_TYPE_CHAR, true}; }
StandardInput pipe() { return {FILE_TYPE_PIPE, false}; }
StandardInput diskFile() { return {FILE_TYPE_DISK, false}; }
StandardInput nulDevice() { return {FILE_TYPE_CHAR, false}; }

}  // namespace auralyn::test::win32

// The import slots the platform code calls through; defined here, the import
// libraries' own slots are never linked in.
extern "C" {
decltype(&GetSaveFileNameA) __imp_GetSaveFileNameA = auralyn::test::win32::fakeGetSaveFileNameA;
decltype(&GetOpenFileNameA) __imp_GetOpenFileNameA = auralyn::test::win32::fakeGetOpenFileNameA;
decltype(&CommDlgExtendedError) __imp_CommDlgExtendedError = auralyn::test::win32::fakeCommDlgExtendedError;
decltype(&MessageBoxA) __imp_MessageBoxA = auralyn::test::win32::fakeMessageBoxA;
decltype(&GetFileType) __imp_GetFileType = auralyn::test::win32::fakeGetFileType;
decltype(&GetConsoleMode) __imp_GetConsoleMode = auralyn::test::win32::fakeGetConsoleMode;
}
