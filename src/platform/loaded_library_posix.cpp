#include "platform/loaded_library.h"

#include <dlfcn.h>

namespace auralyn::platform {

void* LoadedLibrary::symbol(const char* name) const {
    return handle != nullptr ? dlsym(handle, name) : nullptr;
}

LoadedLibrary loadLibrary(const char* fileName) {
    LoadedLibrary library;
    // Bound at once, so that a library too old to have a function fails here
    // rather than in the middle of a measurement.
    library.handle = dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
    if (library.handle == nullptr) {
        const char* why = dlerror();
        library.error = why != nullptr ? why : std::string(fileName) + ": cannot be loaded";
    }
    return library;
}

}  // namespace auralyn::platform
