#pragma once

namespace auralyn::impedance {

// A measured value with the half-width of its 95 % interval (GUM's expanded
// uncertainty at k = 1.96 for a normal distribution).
struct Estimate {
    double value = 0.0;
    double u95 = 0.0;
};

inline constexpr double kCoverage95 = 1.959963984540054;
inline constexpr double kPi = 3.14159265358979323846;

}  // namespace auralyn::impedance
