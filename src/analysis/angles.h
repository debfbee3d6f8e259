#pragma once

#include <cmath>
#include <numbers>

namespace auralyn::analysis {

// The measuring library's one pi, and a phase brought into [-pi, pi].
inline constexpr double kPi = std::numbers::pi;
inline constexpr double kTwoPi = 2.0 * std::numbers::pi;

inline double wrappedRadians(double radians) { return std::remainder(radians, kTwoPi); }

}  // namespace auralyn::analysis
