#include "wave_bytes.h"

#include <algorithm>
#include <cmath>

namespace auralyn::test {

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes chunkWithSizeField(const std::string& id, std::uint32_t sizeField, const Bytes& payload) {
    Bytes out;
    appendText(out, id);
    appendU32(out, sizeField);
    out.insert(out.end(), payload.begin(), payload.end());
    if (payload.size() % 2 != 0) out.push_back(0);
    return out;
}

Bytes chunk(const std::string& id, const Bytes& payload) {
    return chunkWithSizeField(id, static_cast<std::uint32_t>(payload.size()), payload);
}

static Bytes formChunk(const std::string& id, const std::string& formType, const Bytes& contents) {
    Bytes out;
    appendText(out, id);
    appendU32(out, static_cast<std::uint32_t>(contents.size() + 4));
    appendText(out, formType);
    out.insert(out.end(), contents.begin(), contents.end());
    return out;
}

Bytes listChunk(const std::string& formType, const Bytes& contents) { return formChunk("LIST", formType, contents); }

Bytes riff(const Bytes& contents, const std::string& formType) { return formChunk("RIFF", formType, contents); }

Bytes pcmFormat(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, std::size_t extraBytes) {
    const auto align = static_cast<std::uint16_t>(bits / 8 * channels);
    Bytes out;
    appendU16(out, 1);
    appendU16(out, channels);
    appendU32(out, rate);
    appendU32(out, rate * align);
    appendU16(out, align);
    appendU16(out, bits);
    if (extraBytes < 2) return out;
    appendU16(out, static_cast<std::uint16_t>(extraBytes - 2));
    out.resize(out.size() + extraBytes - 2, 0);
    return out;
}

Bytes samples(const std::vector<std::int16_t>& values) {
    Bytes out;
    for (std::int16_t value : values) appendU16(out, static_cast<std::uint16_t>(value));
    return out;
}

Bytes waveBytes(const std::vector<std::int16_t>& values, std::uint32_t rate, std::uint16_t channels, std::uint16_t bits) {
    return riff(concat({chunk("fmt ", pcmFormat(channels, rate, bits)), chunk("data", samples(values))}));
}

Bytes pcmWave(const std::vector<std::vector<double>>& channels, std::uint32_t rate, int bits) {
    const double scale = std::ldexp(1.0, bits - 1);
    Bytes data;
    for (std::size_t n = 0; n < channels[0].size(); ++n) {
        for (const auto& channel : channels) {
            const double code = std::clamp(std::round(channel[n] * scale), -scale, scale - 1.0);
            const auto value = static_cast<std::uint32_t>(static_cast<std::int32_t>(code));
            for (int byte = 0; byte < bits / 8; ++byte) data.push_back(static_cast<std::uint8_t>(value >> (8 * byte)));
        }
    }
    const auto count = static_cast<std::uint16_t>(channels.size());
    return riff(concat({chunk("fmt ", pcmFormat(count, rate, static_cast<std::uint16_t>(bits))), chunk("data", data)}));
}

}  // namespace auralyn::test
