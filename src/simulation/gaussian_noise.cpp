#include "simulation/gaussian_noise.h"

#include <cmath>
#include <numbers>

namespace auralyn::simulation {

double GaussianNoise::uniformOpenZero() {
    // 53 random bits; adding one keeps the logarithm below finite.
    return static_cast<double>((engine_() >> 11) + 1) * 0x1.0p-53;
}

double GaussianNoise::next() {
    if (hasSpare_) {
        hasSpare_ = false;
        return spare_;
    }
    const double radius = std::sqrt(-2.0 * std::log(uniformOpenZero()));
    const double angle = 2.0 * std::numbers::pi * uniformOpenZero();
    spare_ = radius * std::sin(angle);
    hasSpare_ = true;
    return radius * std::cos(angle);
}

double noiseSigmaForLevel(double dbfs) {
    const double fullScaleSineRms = 32767.0 / std::numbers::sqrt2;
    return fullScaleSineRms * std::pow(10.0, dbfs / 20.0);
}

}  // namespace auralyn::simulation
