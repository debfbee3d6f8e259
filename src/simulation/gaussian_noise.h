#pragma once

#include <cstdint>
#include <random>

namespace auralyn::simulation {

// Standard normal numbers from a seed, identical on every platform: the
// engine's output is fixed by the C++ standard, and the transform (Box-Muller)
// is done here rather than by std::normal_distribution, whose algorithm each
// standard library chooses for itself.
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

}  // namespace auralyn::simulation
