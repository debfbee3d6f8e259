#pragma once

namespace auralyn::measurer {

// One measured tone of a sweep.
struct ToneResult {
    double frequency = 0.0;  // Hz, from the schedule
    double amplitude = 0.0;  // sample units
    double phase = 0.0;      // radians; the report unwraps it in place
};

}  // namespace auralyn::measurer
