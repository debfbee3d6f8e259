#pragma once

#include <cstdint>

namespace auralyn::simulation {

// Turns processed values into 16-bit samples, counting those that had to be clipped.
class SampleQuantizer {
public:
    std::int16_t toSample(double value);
    std::uint64_t clippedCount() const { return clipped_; }

private:
    std::uint64_t clipped_ = 0;
};

}  // namespace auralyn::simulation
