#include "platform/path_names.h"

namespace auralyn::platform {
namespace {

bool isSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/' || c == ':';
#else
    return c == '/';
#endif
}

// End of the name without its extension: the dot's position, or the path's end
// when the dialog reported no usable extension.
std::size_t extensionCut(const std::string& path, std::uint16_t extensionOffset) {
    if (extensionOffset == 0 || extensionOffset >= path.size()) return path.size();
    return extensionOffset - 1u;
}

}  // namespace

PathOffsets pathOffsets(const std::string& path) {
    PathOffsets offsets;
    std::size_t file = 0;
    for (std::size_t i = 0; i < path.size(); ++i)
        if (isSeparator(path[i])) file = i + 1;
    offsets.file = static_cast<std::uint16_t>(file);

    std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < file)
        offsets.extension = static_cast<std::uint16_t>(path.size());
    else if (dot + 1 == path.size())
        offsets.extension = 0;
    else
        offsets.extension = static_cast<std::uint16_t>(dot + 1);
    return offsets;
}

std::string withoutExtension(const std::string& path, std::uint16_t extensionOffset) {
    return path.substr(0, extensionCut(path, extensionOffset));
}

std::string baseName(const std::string& path, std::uint16_t fileOffset, std::uint16_t extensionOffset) {
    std::size_t end = extensionCut(path, extensionOffset);
    if (fileOffset >= end) return {};
    return path.substr(fileOffset, end - fileOffset);
}

RecordingName recordingName(const std::string& path, std::uint16_t fileOffset, std::uint16_t extensionOffset) {
    RecordingName name;
    if (fileOffset <= path.size()) name.fileName = path.substr(fileOffset);
    name.baseName = baseName(path, fileOffset, extensionOffset);
    return name;
}

}  // namespace auralyn::platform
