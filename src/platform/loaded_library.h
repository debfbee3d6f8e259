#pragma once

// Shared libraries opened when a command first needs them rather than when the
// program starts: loading the sound-device stack or the general audio file
// library costs every run milliseconds of start-up that `analyze` of a plain
// WAV never uses. POSIX systems only; the Windows build links what it uses.
#include <string>

namespace auralyn::platform {

struct LoadedLibrary {
    void* handle = nullptr;  // null: not loaded, see error
    std::string error;       // the loader's own words for why not

    bool loaded() const { return handle != nullptr; }
    // The address of a symbol of the library; null when it has none by that name.
    void* symbol(const char* name) const;
    // Sets `function` to the symbol of that name; false when there is none.
    template <typename Function>
    bool resolve(const char* name, Function& function) const {
        function = reinterpret_cast<Function>(symbol(name));
        return function != nullptr;
    }
};

// Opens a library by file name (its soname, e.g. "libportaudio.so.2"), searched
// for as the system's loader searches. The library stays loaded until the
// process ends: the libraries opened this way start threads of their own.
LoadedLibrary loadLibrary(const char* fileName);

// A library's functions as a table of pointers (Api), or why they are not there.
template <typename Api>
struct LoadedFunctions {
    Api api{};
    std::string error;  // empty when every function was found; else begins with the advice given
    bool ok() const { return error.empty(); }
};

// A library's functions are written once, as a list of F(member, symbol), and
// AURALYN_LOADED_LIBRARY makes its table from it: a member per function, the
// soname it is opened by, the advice that begins every message about it (the
// package to install), and `resolveFrom`, which fills every member and names
// the first function the library lacks (null: none). Made from the one list, a
// function named in the table is never missing from the resolver.
#define AURALYN_LIBRARY_MEMBER(member, symbol) decltype(&symbol) member = nullptr;
#define AURALYN_LIBRARY_RESOLVE(member, symbol) \
    if (!library.resolve(#symbol, member)) return #symbol;
#define AURALYN_LOADED_LIBRARY(Api, FUNCTIONS, soname, packageAdvice)          \
    struct Api {                                                               \
        FUNCTIONS(AURALYN_LIBRARY_MEMBER)                                      \
        static constexpr const char* fileName = soname;                        \
        static constexpr const char* advice = packageAdvice;                   \
        const char* resolveFrom(const ::auralyn::platform::LoadedLibrary& library) { \
            FUNCTIONS(AURALYN_LIBRARY_RESOLVE)                                 \
            return nullptr;                                                    \
        }                                                                      \
    }

// Opens the library (by default the Api's own soname) and fills its table. On
// failure the table stays empty and the error is the advice and the cause.
template <typename Api>
LoadedFunctions<Api> loadFunctions(const char* fileName = Api::fileName) {
    LoadedFunctions<Api> load;
    const LoadedLibrary library = loadLibrary(fileName);
    if (!library.loaded()) {
        load.error = std::string(Api::advice) + library.error;
        return load;
    }
    if (const char* missing = load.api.resolveFrom(library)) {
        load.api = Api{};
        load.error = std::string(Api::advice) + fileName + " has no " + missing;
    }
    return load;
}

// The process's one copy of a library's functions, loaded on the first call.
template <typename Api>
const LoadedFunctions<Api>& loadedOnce() {
    static const LoadedFunctions<Api> load = loadFunctions<Api>();
    return load;
}

}  // namespace auralyn::platform
