#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "simulation/biquad.h"
#include "simulation/clock_resampler.h"
#include "simulation/device.h"
#include "simulation/gaussian_noise.h"

namespace auralyn::simulation {

// Runs a device over a stream of samples in blocks, in double precision.
// Delay and clock error change the length: the output is the input delayed by
// the delay, then stretched by the clock ratio.
class DeviceProcessor {
public:
    static std::optional<DeviceProcessor> create(const Device& device, double sampleRate, std::string& error);

    // Replaces the block with the output that is ready; it may be shorter or longer.
    bool process(std::vector<double>& block, std::string& error);
    // Ends the input: the block becomes everything the parts still hold.
    bool finish(std::vector<double>& block, std::string& error);

private:
    struct GainStage {
        double factor;
    };
    struct FilterStage {
        Biquad biquad;
    };
    struct DelayStage {
        std::vector<double> pending;  // always the last `delay` samples seen, zeros at first
    };
    struct NoiseStage {
        GaussianNoise noise;
        double sigma;
    };
    struct ClockStage {
        ClockResampler resampler;
    };
    struct InvertStage {};
    struct PolynomialStage {
        std::vector<double> coefficients;  // a2, a3, ...
    };
    struct ClipStage {
        double limit;  // sample units
    };
    using Stage = std::variant<GainStage, FilterStage, DelayStage, NoiseStage, ClockStage, InvertStage,
                               PolynomialStage, ClipStage>;

    static bool runStage(Stage& stage, std::vector<double>& block, bool last, std::string& error);

    std::vector<Stage> stages_;
};

}  // namespace auralyn::simulation
