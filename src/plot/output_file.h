#pragma once

#include <string>

namespace auralyn::plot {

// Output files appear under their names only when complete: they are written
// under a temporary name in the same folder (so the rename cannot cross file
// systems) and renamed at the end; a failed run leaves no file behind.
std::string temporaryPathFor(const std::string& path);
bool commitTemporary(const std::string& temporary, const std::string& path, std::string& error);
void discardTemporary(const std::string& temporary);

bool writeTextFileAtomically(const std::string& path, const std::string& text, std::string& error);

// The path with the extension of its last component replaced (or added).
std::string withExtension(const std::string& path, const std::string& extension);

}  // namespace auralyn::plot
