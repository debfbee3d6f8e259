#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct soxr;

namespace auralyn::simulation {

// Resamples a stream by 1 + ppm / 1e6 with a high-quality linear-phase
// resampler. Its output is aligned with its input (the resampler's own
// latency is removed) and, once finished, holds round(input x ratio) samples.
class ClockResampler {
public:
    static std::optional<ClockResampler> create(double ppm, std::string& error);

    // Replaces the block with the output that is ready so far.
    bool process(std::vector<double>& block, std::string& error);
    // Takes the last input, then appends everything still held back.
    bool finish(std::vector<double>& block, std::string& error);

    double ratio() const { return ratio_; }

private:
    struct Deleter {
        void operator()(soxr* resampler) const;
    };

    ClockResampler(soxr* resampler, double ratio) : resampler_(resampler), ratio_(ratio) {}
    bool run(const double* input, std::size_t count, std::vector<double>& output, std::string& error);

    std::unique_ptr<soxr, Deleter> resampler_;
    double ratio_ = 1.0;
    std::uint64_t consumed_ = 0;
    std::uint64_t produced_ = 0;
};

}  // namespace auralyn::simulation
