#pragma once

#include <cstddef>

namespace auralyn::platform {

// Asks the system to back a large buffer, not yet written, with large pages
// where it can (Linux's transparent huge pages): a recording of millions of
// samples then costs a few dozen page faults instead of thousands, which
// matters most on virtual machines, where each fault is dear. A hint only:
// nothing changes where the system declines or has no such pages.
void adviseLargePages(const void* data, std::size_t bytes);

}  // namespace auralyn::platform
