#include "plot/xml_text.h"

#include <cstdint>

namespace auralyn::plot {
namespace {

// Length of the valid UTF-8 sequence at the start of `text` that encodes a
// character XML allows, or 0.
std::size_t validSequenceLength(std::string_view text) {
    const auto lead = static_cast<std::uint8_t>(text[0]);
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (lead < 0x80) return (lead >= 0x20 || lead == '\t' || lead == '\n' || lead == '\r') ? 1 : 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<std::uint8_t>(text[i]);
        if ((next & 0xC0u) != 0x80u) return 0;
        code = code << 6 | (next & 0x3Fu);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    const bool forbidden = code == 0xFFFE || code == 0xFFFF || code > 0x10FFFF;
    return overlong || surrogate || forbidden ? 0 : length;
}

}  // namespace

std::string escapeXml(std::string_view text) {
    std::string result;
    while (!text.empty()) {
        const std::size_t length = validSequenceLength(text);
        if (length == 0) {
            result += '?';
            text.remove_prefix(1);
            continue;
        }
        switch (text[0]) {
        case '&': result += "&amp;"; break;
        case '<': result += "&lt;"; break;
        case '>': result += "&gt;"; break;
        case '"': result += "&quot;"; break;
        case '\'': result += "&apos;"; break;
        default: result.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    return result;
}

}  // namespace auralyn::plot
