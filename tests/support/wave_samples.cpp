#include "wave_samples.h"

namespace auralyn::test {

Bytes waveBytes(const std::vector<std::int16_t>& samples, std::uint32_t rate, std::uint16_t channels,
                std::uint16_t bits) {
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    const auto blockAlign = static_cast<std::uint16_t>(channels * bits / 8);
    Bytes out;
    appendText(out, "RIFF");
    appendU32(out, 36 + dataBytes);
    appendText(out, "WAVEfmt ");
    appendU32(out, 16);
    appendU16(out, 1);
    appendU16(out, channels);
    appendU32(out, rate);
    appendU32(out, rate * blockAlign);
    appendU16(out, blockAlign);
    appendU16(out, bits);
    appendText(out, "data");
    appendU32(out, dataBytes);
    for (std::int16_t s : samples) appendU16(out, static_cast<std::uint16_t>(s));
    return out;
}

void writeWave(const std::string& path, const std::vector<std::int16_t>& samples, std::uint32_t rate) {
    writeFileBytes(path, waveBytes(samples, rate));
}

std::vector<std::int16_t> readWaveSamples(const std::string& path) {
    const Bytes bytes = readFileBytes(path);
    std::vector<std::int16_t> samples;
    if (bytes.size() < 44) return samples;
    const std::uint32_t dataBytes = loadU32(bytes, 40);
    for (std::size_t offset = 44; offset + 1 < bytes.size() && offset < 44 + std::size_t{dataBytes}; offset += 2)
        samples.push_back(static_cast<std::int16_t>(loadU16(bytes, offset)));
    return samples;
}

std::uint32_t readWaveRate(const std::string& path) {
    const Bytes bytes = readFileBytes(path);
    return bytes.size() >= 28 ? loadU32(bytes, 24) : 0;
}

void writeTextFile(const std::string& path, const std::string& text) {
    writeFileBytes(path, Bytes(text.begin(), text.end()));
}

}  // namespace auralyn::test
