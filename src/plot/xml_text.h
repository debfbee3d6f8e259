#pragma once

#include <string>
#include <string_view>

namespace auralyn::plot {

// Text made safe for XML character data and attribute values: markup characters
// become entities, and bytes that are not valid UTF-8 or not allowed in XML
// (control characters, for instance from a file name in another code page)
// become '?'.
std::string escapeXml(std::string_view text);

}  // namespace auralyn::plot
