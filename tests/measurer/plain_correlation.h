#pragma once

#include <cstdint>
#include <vector>

namespace auralyn::test {

struct PlainMeasurement {
    double amplitude = 0.0;
    double phase = 0.0;
};

// echoprobe's correlation written out one sample at a time: the angle from the
// index in extended precision, its sine and cosine alone, the five sums in
// sample order, then the division by the unit sine's correlation. The tone
// analyzer must match it bit for bit, however it splits the work.
PlainMeasurement plainCorrelation(const std::vector<std::int16_t>& block, double frequency, std::uint32_t rate);

}  // namespace auralyn::test
