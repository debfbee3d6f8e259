#pragma once

// Small portable wrappers over stdio: 64-bit seek/tell (long is 32 bits on
// Windows) and byte output that skips the per-call stream lock, because the
// generator writes every sample through here.

#include <cstddef>
#include <cstdint>
#include <cstdio>

#if !defined(_WIN32)
#include <sys/types.h>
#endif

namespace auralyn::wave {

// The current offset of the stream, or -1 when it cannot be told.
inline std::int64_t tellPosition(std::FILE* stream) {
#if defined(_WIN32)
    return _ftelli64(stream);
#else
    return static_cast<std::int64_t>(ftello(stream));
#endif
}

// Seeks like fseek; false when the offset does not fit the host's offset type or the seek fails.
inline bool seekPosition(std::FILE* stream, std::int64_t offset, int origin) {
#if defined(_WIN32)
    return _fseeki64(stream, offset, origin) == 0;
#else
    if constexpr (sizeof(off_t) < sizeof(std::int64_t)) {
        if (offset != static_cast<std::int64_t>(static_cast<off_t>(offset))) return false;
    }
    return fseeko(stream, static_cast<off_t>(offset), origin) == 0;
#endif
}

inline bool putByte(std::FILE* stream, std::uint8_t byte) {
#if defined(_WIN32)
    return _putc_nolock(byte, stream) != EOF;
#else
    return putc_unlocked(byte, stream) != EOF;
#endif
}

// Writes through the stream's buffer; returns how many bytes went out.
inline std::size_t putBytes(std::FILE* stream, const std::uint8_t* bytes, std::size_t count) {
    std::size_t written = 0;
    while (written < count && putByte(stream, bytes[written])) ++written;
    return written;
}

}  // namespace auralyn::wave
