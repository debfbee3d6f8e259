#include "simulation/exact_response_filter.h"

#include <algorithm>
#include <cmath>

#include "platform/fftw_arrays.h"

namespace auralyn::simulation {

// The plans of one transform size with their buffers (FFTW's own allocation,
// aligned for its vector code).
struct ExactResponseFilter::Transforms {
    explicit Transforms(std::size_t size)
        : n(size),
          real(platform::fftwArray<double>(size)),
          complex(platform::fftwArray<fftw_complex>(size / 2 + 1)),
          forward(platform::fftw().planDftR2c1d(static_cast<int>(size), real.get(), complex.get(), FFTW_ESTIMATE)),
          backward(platform::fftw().planDftC2r1d(static_cast<int>(size), complex.get(), real.get(), FFTW_ESTIMATE)) {}
    ~Transforms() {
        platform::fftw().destroyPlan(forward);
        platform::fftw().destroyPlan(backward);
    }
    Transforms(const Transforms&) = delete;
    Transforms& operator=(const Transforms&) = delete;

    std::complex<double> bin(std::size_t k) const { return {complex[k][0], complex[k][1]}; }
    void setBin(std::size_t k, std::complex<double> v) {
        complex[k][0] = v.real();
        complex[k][1] = v.imag();
    }

    std::size_t n;
    platform::FftwArray<double> real;
    platform::FftwArray<fftw_complex> complex;
    fftw_plan forward;
    fftw_plan backward;
};

std::size_t exactFilterTaps(double sampleRate) {
    std::size_t taps = 1024;
    while (static_cast<double>(taps) < 11.0 * sampleRate) taps *= 2;
    return taps;
}

ExactResponseFilter::ExactResponseFilter(const FrequencyResponse& response, double sampleRate)
    : taps_(exactFilterTaps(sampleRate)), fft_(std::make_unique<Transforms>(2 * taps_)) {
    const std::size_t size = 2 * taps_;
    // The response on the grid; the Nyquist bin of a real filter is real.
    for (std::size_t k = 0; k <= taps_; ++k) {
        const double frequency = static_cast<double>(k) * sampleRate / static_cast<double>(size);
        std::complex<double> value = response(frequency);
        if (k == taps_) value = value.real();
        fft_->setBin(k, value);
    }
    platform::fftw().execute(fft_->backward);
    // The impulse response on the grid is circular and reaches before time 0:
    // a response that stays finite at high frequencies (a coil's) jumps at
    // t = 0, and that jump, band-limited, rings on both sides. The N taps
    // are therefore the N/2 before and after 0, delayed by N/2; scaled for the
    // unnormalised transforms and padded with zeros.
    const std::vector<double> circular(fft_->real.get(), fft_->real.get() + size);
    const double scale = 1.0 / (static_cast<double>(size) * static_cast<double>(size));
    for (std::size_t i = 0; i < size; ++i)
        fft_->real[i] = i < taps_ ? circular[(i + size - taps_ / 2) % size] * scale : 0.0;
    platform::fftw().execute(fft_->forward);
    spectrum_.resize(taps_ + 1);
    for (std::size_t k = 0; k <= taps_; ++k) spectrum_[k] = fft_->bin(k);
    window_.assign(size, 0.0);
}

ExactResponseFilter::~ExactResponseFilter() = default;

// Overlap-save: the transform of the last 2N inputs times the taps' spectrum
// gives, in its second half, the N outputs of the newest inputs exactly.
void ExactResponseFilter::runBlock(std::size_t count, std::vector<double>& output) {
    std::copy(window_.begin(), window_.end(), fft_->real.get());
    platform::fftw().execute(fft_->forward);
    for (std::size_t k = 0; k <= taps_; ++k) fft_->setBin(k, fft_->bin(k) * spectrum_[k]);
    platform::fftw().execute(fft_->backward);
    output.insert(output.end(), fft_->real.get() + taps_, fft_->real.get() + taps_ + count);
    std::copy(window_.begin() + static_cast<std::ptrdiff_t>(taps_), window_.end(), window_.begin());
    std::fill(window_.begin() + static_cast<std::ptrdiff_t>(taps_), window_.end(), 0.0);
    pending_ = 0;
}

void ExactResponseFilter::push(const std::vector<double>& input, std::vector<double>& output) {
    for (double x : input) {
        window_[taps_ + pending_++] = x;
        if (pending_ == taps_) runBlock(taps_, output);
    }
}

void ExactResponseFilter::finish(std::vector<double>& output) {
    if (pending_ > 0) runBlock(pending_, output);
}

}  // namespace auralyn::simulation
