#pragma once

#include <string>

namespace auralyn {

// An output file that appears under its chosen name only when complete: it is
// written under a temporary name in the same folder and renamed over the chosen
// name at the end, so an existing file is replaced only by a complete new one
// and a cancelled or failed run loses nothing. A chosen path that exists but is
// no plain file (a device, or a link to one) is written directly instead, and
// is never renamed over or removed.
struct StagedFile {
    std::string chosen;   // the name the user chose
    std::string written;  // the name actually opened for writing

    bool direct() const { return written == chosen; }
};

// Picks the name to write: the chosen one for a device or a link, otherwise an
// unused temporary name beside it.
StagedFile stageFile(const std::string& chosen);

// Renames the finished file over its chosen name; true at once for a file
// written directly.
bool commitStagedFile(const StagedFile& file);

// Removes the temporary file; a file written directly stays as it is.
void discardStagedFile(const StagedFile& file);

}  // namespace auralyn
