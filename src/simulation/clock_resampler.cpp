#include "simulation/clock_resampler.h"

#include <cmath>

#include "simulation/soxr_api.h"

namespace auralyn::simulation {

void ClockResampler::Deleter::operator()(soxr* resampler) const { soxrLibrary().api.destroy(resampler); }

std::optional<ClockResampler> ClockResampler::create(double ppm, std::string& error) {
    const auto& soxr = soxrLibrary();
    if (!soxr.ok()) {
        error = soxr.error;
        return std::nullopt;
    }
    const double ratio = 1.0 + ppm * 1e-6;
    const soxr_io_spec_t io = soxr.api.ioSpec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
    // High quality, linear phase; the precise clock keeps a ratio this close to
    // 1 from being rounded to a nearby rational one.
    const soxr_quality_spec_t quality = soxr.api.qualitySpec(SOXR_HQ, SOXR_HI_PREC_CLOCK);
    soxr_error_t failure = nullptr;
    soxr_t resampler = soxr.api.create(1.0, ratio, 1, &failure, &io, &quality, nullptr);
    if (resampler == nullptr || failure != nullptr) {
        error = std::string("the resampler could not be set up: ") + soxr_strerror(failure);
        if (resampler != nullptr) soxr.api.destroy(resampler);
        return std::nullopt;
    }
    return ClockResampler(resampler, ratio);
}

// Feeds `count` samples (none and the end of input when `input` is null) and
// collects all the output the resampler gives for them.
bool ClockResampler::run(const double* input, std::size_t count, std::vector<double>& output, std::string& error) {
    std::vector<double> chunk(static_cast<std::size_t>(static_cast<double>(count) * ratio_) + 4096);
    const SoxrApi& soxr = soxrLibrary().api;  // loaded when the resampler was created
    std::size_t offered = 0;
    for (;;) {
        std::size_t used = 0;
        std::size_t made = 0;
        const double* next = input == nullptr ? nullptr : input + offered;
        const soxr_error_t failure =
            soxr.process(resampler_.get(), next, input == nullptr ? 0 : count - offered, &used, chunk.data(),
                         chunk.size(), &made);
        if (failure != nullptr) {
            error = std::string("the resampler failed: ") + failure;
            return false;
        }
        offered += used;
        output.insert(output.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(made));
        if (input == nullptr) {
            if (made == 0) return true;
        } else if (offered == count) {
            return true;
        } else if (used == 0 && made == 0) {
            error = "the resampler stopped taking input";
            return false;
        }
    }
}

bool ClockResampler::process(std::vector<double>& block, std::string& error) {
    std::vector<double> output;
    if (!run(block.data(), block.size(), output, error)) return false;
    consumed_ += block.size();
    produced_ += output.size();
    block.swap(output);
    return true;
}

bool ClockResampler::finish(std::vector<double>& block, std::string& error) {
    std::vector<double> output;
    if (!run(block.data(), block.size(), output, error)) return false;
    consumed_ += block.size();
    if (!run(nullptr, 0, output, error)) return false;
    // The resampler's flush may give a sample more or less than the ideal
    // length; a recording of the whole input lasts round(input x ratio).
    const auto wanted = static_cast<std::uint64_t>(std::llround(static_cast<double>(consumed_) * ratio_));
    const std::uint64_t room = wanted > produced_ ? wanted - produced_ : 0;
    output.resize(static_cast<std::size_t>(room), 0.0);
    produced_ += output.size();
    block.swap(output);
    return true;
}

}  // namespace auralyn::simulation
