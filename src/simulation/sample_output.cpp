#include "simulation/sample_output.h"

#include "sweep/sweep_plan.h"

namespace auralyn::simulation {

std::int16_t SampleQuantizer::toSample(double value) {
    const double rounded = sweep::roundHalfAway(value);
    if (rounded > 32767.0) {
        ++clipped_;
        return 32767;
    }
    if (rounded < -32768.0) {
        ++clipped_;
        return -32768;
    }
    if (rounded != rounded) {  // not a number: only a broken filter makes one; count it as clipped silence
        ++clipped_;
        return 0;
    }
    return static_cast<std::int16_t>(rounded);
}

}  // namespace auralyn::simulation
