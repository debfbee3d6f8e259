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

// A library's functions are written once, as a list of F(member, symbol):
// the table's members and the resolver's steps are both made from it, so a
// function named in one is never missing from the other.
#define AURALYN_LIBRARY_MEMBER(member, symbol) decltype(&symbol) member = nullptr;
#define AURALYN_LIBRARY_RESOLVE(member, symbol) \
    if (!library.resolve(#symbol, api.member)) return #symbol;

// Opens the library and fills the table with `firstMissing`, which resolves
// every function and names the first one the library lacks (null: none). On
// failure the table stays empty and the error is `advice` and the cause.
template <typename Api>
LoadedFunctions<Api> loadFunctions(const char* fileName, const std::string& advice,
                                   const char* (*firstMissing)(const LoadedLibrary&, Api&)) {
    LoadedFunctions<Api> load;
    const LoadedLibrary library = loadLibrary(fileName);
    if (!library.loaded()) {
        load.error = advice + library.error;
        return load;
    }
    if (const char* missing = firstMissing(library, load.api)) {
        load.api = Api{};
        load.error = advice + fileName + " has no " + missing;
    }
    return load;
}

// The process's one copy of a library's functions, loaded on the first call.
template <typename Api>
const LoadedFunctions<Api>& loadedOnce(const char* fileName, const std::string& advice,
                                       const char* (*firstMissing)(const LoadedLibrary&, Api&)) {
    static const LoadedFunctions<Api> load = loadFunctions(fileName, advice, firstMissing);
    return load;
}

}  // namespace auralyn::platform
