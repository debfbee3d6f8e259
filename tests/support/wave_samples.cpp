#include "wave_samples.h"

namespace auralyn::test {

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
