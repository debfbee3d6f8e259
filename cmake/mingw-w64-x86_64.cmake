# Cross build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64).
#   cmake -S scripts/windows -B build-win --toolchain "$PWD/cmake/mingw-w64-x86_64.cmake"
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(AURALYN_MINGW_TRIPLE x86_64-w64-mingw32)
# The posix flavour carries std::thread and friends; the win32 flavour of GCC 12 does not.
find_program(CMAKE_C_COMPILER NAMES ${AURALYN_MINGW_TRIPLE}-gcc-posix ${AURALYN_MINGW_TRIPLE}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${AURALYN_MINGW_TRIPLE}-g++-posix ${AURALYN_MINGW_TRIPLE}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${AURALYN_MINGW_TRIPLE}-windres)

# Look for libraries and packages of the target only, never the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/${AURALYN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Single executables to hand out: libgcc, libstdc++ and winpthread are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
