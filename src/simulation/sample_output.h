#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "wave/wave_file.h"

namespace auralyn::simulation {

// Turns processed values into 16-bit samples, counting those that had to be clipped.
class SampleQuantizer {
public:
    std::int16_t toSample(double value);
    std::uint64_t clippedCount() const { return clipped_; }

private:
    std::uint64_t clipped_ = 0;
};

// Writes a 16-bit WAV file of `channels` channels at `rate` under a temporary
// name and renames it to `outputPath` only when `writeSamples` and the final
// flush succeeded, so that a failed run leaves no file that looks complete.
// False with the reason in `error` (writeSamples leaves its own there).
bool writeStagedWave(const std::string& outputPath, std::uint32_t rate, std::int16_t channels,
                     const std::function<bool(wave::WaveFile&)>& writeSamples, std::string& error);

}  // namespace auralyn::simulation
