#pragma once

#include <cstdint>
#include <random>

namespace auralyn::devicesim {

// Standard normal numbers from a seed, identical on every platform: the engine
// is fully specified by the standard library, and the transform (Box-Muller)
// is done here rather than by a distribution whose algorithm is unspecified.
class GaussianNoise {
public:
    explicit GaussianNoise(std::uint64_t seed) : engine_(seed) {}

    double next();

private:
    double uniformOpenZero();  // in (0, 1]

    std::mt19937_64 engine_;
    double spare_ = 0.0;
    bool hasSpare_ = false;
};

// Standard deviation of noise whose RMS lies `dbfs` below a full-scale sine.
double noiseSigmaForLevel(double dbfs);

}  // namespace auralyn::devicesim
