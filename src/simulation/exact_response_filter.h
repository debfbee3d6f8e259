#pragma once

#include <complex>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace auralyn::simulation {

using FrequencyResponse = std::function<std::complex<double>(double frequency)>;

// A linear filter whose response at every frequency is the given analytic
// response, to within about a millionth: the response sampled on a grid of
// 2N bins becomes an impulse response of N taps (frequency sampling), run by
// overlap-save convolution with FFTs. N covers at least eleven seconds, so a
// resonance that rings for less than about a second is held in full (its
// tail beyond N taps lies below e^-20), and the grid's interpolation error
// vanishes with it. The taps reach N/2 samples either side of time 0, so
// the output comes delayed by delay() = N/2 samples: delay every other
// channel as much and the ratios are exact.
class ExactResponseFilter {
public:
    ExactResponseFilter(const FrequencyResponse& response, double sampleRate);
    ~ExactResponseFilter();
    ExactResponseFilter(const ExactResponseFilter&) = delete;
    ExactResponseFilter& operator=(const ExactResponseFilter&) = delete;

    // Filters `input` onwards; appends the outputs that are complete to `output`.
    void push(const std::vector<double>& input, std::vector<double>& output);
    // The outputs of the samples pushed but not yet given out.
    void finish(std::vector<double>& output);

    std::size_t taps() const { return taps_; }
    std::size_t delay() const { return taps_ / 2; }

private:
    struct Transforms;
    void runBlock(std::size_t count, std::vector<double>& output);

    std::size_t taps_ = 0;
    std::unique_ptr<Transforms> fft_;
    std::vector<std::complex<double>> spectrum_;  // of the taps, zero-padded to 2N
    std::vector<double> window_;                  // the last N inputs, then the N new ones
    std::size_t pending_ = 0;                     // new inputs in the window's second half
};

// Taps for a sampling rate: the power of two at or above eleven seconds.
std::size_t exactFilterTaps(double sampleRate);

}  // namespace auralyn::simulation
