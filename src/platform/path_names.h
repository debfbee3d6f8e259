#pragma once

#include <cstdint>
#include <string>

namespace auralyn::platform {

// Offsets of a chosen path as the Windows file dialogs report them.
struct PathOffsets {
    std::uint16_t file = 0;       // first character of the name after the last separator
    std::uint16_t extension = 0;  // first character after the name's last dot; the path's
                                  // length when the name has no dot, 0 when it ends in a dot
};

PathOffsets pathOffsets(const std::string& path);

// The path with its extension cut off at the dot, when extensionOffset is neither 0
// nor the path's length; otherwise the whole path.
std::string withoutExtension(const std::string& path, std::uint16_t extensionOffset);

// The name without folder and extension: from fileOffset to the dot before the
// extension, or to the end when extensionOffset is 0 or the path's length.
std::string baseName(const std::string& path, std::uint16_t fileOffset, std::uint16_t extensionOffset);

// A recording's name as a report shows it (without folder, with extension) and
// as an output file proposal uses it (without its last extension).
struct RecordingName {
    std::string fileName;
    std::string baseName;
};
RecordingName recordingName(const std::string& path, std::uint16_t fileOffset, std::uint16_t extensionOffset);

}  // namespace auralyn::platform
