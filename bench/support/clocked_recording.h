#pragma once

#include <cstdint>
#include <vector>

namespace auralyn::bench {

// The recording on a recorder `ppm` fast: through the device simulator's
// resampler where it is built, else by linear interpolation (which blurs the
// highest tones, but costs the measurement the same).
std::vector<std::int16_t> recordedOnClock(const std::vector<std::int16_t>& played, double ppm);

}  // namespace auralyn::bench
