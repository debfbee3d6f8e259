#include "platform/memory_advice.h"

namespace auralyn::platform {

// Windows gives large pages only to a privileged process: nothing to ask.
void adviseLargePages(const void*, std::size_t) {}

// The Windows heap keeps freed blocks of its own accord.
void keepFreedMemory() {}

}  // namespace auralyn::platform
