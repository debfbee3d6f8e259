#pragma once

#include <cstddef>

namespace auralyn::platform {

// Asks the system to back a large buffer, not yet written, with large pages
// where it can (Linux's transparent huge pages): a recording of millions of
// samples then costs a few dozen page faults instead of thousands, which
// matters most on virtual machines, where each fault is dear. A hint only:
// nothing changes where the system declines or has no such pages.
void adviseLargePages(const void* data, std::size_t bytes);

// Asks the C library to keep memory that is freed for the next request
// instead of handing it back to the system at once: a program that builds and
// drops buffers of megabytes one after another (a tone table, the text of a
// report) then reuses pages it has touched already instead of faulting in
// fresh, zeroed ones each time. The first tens of megabytes it hands out lie
// on large pages where the system has them (see adviseLargePages). For
// short-lived programs; a hint only, where the C library offers no such
// setting nothing changes.
void keepFreedMemory();

}  // namespace auralyn::platform
