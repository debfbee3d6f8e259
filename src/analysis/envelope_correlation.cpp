#include "analysis/envelope_correlation.h"

#include <algorithm>

#include "platform/fftw_arrays.h"

namespace auralyn::analysis {
namespace {

constexpr std::size_t kMinFftSize = 4096;

std::size_t fftSizeFor(std::size_t patternLength) {
    std::size_t n = kMinFftSize;
    // Three pattern lengths or more per block keep two thirds of each transform useful.
    while (n < 3 * patternLength) n *= 2;
    return n;
}

using platform::FftwfArray;
using platform::fftwfArray;

template <typename T>
void copySamples(const RecordingView& view, std::int64_t from, std::span<T> out) {
    const auto n = static_cast<std::int64_t>(out.size());
    for (std::int64_t i = 0; i < n; ++i) {
        const std::int64_t at = from + i;
        T v = 0;
        if (at >= 0 && at < view.size) v = static_cast<T>(view.samples[at]);
        out[static_cast<std::size_t>(i)] = v;
    }
}

}  // namespace

class FftWorkspace {
public:
    explicit FftWorkspace(std::size_t n)
        : n_(n), real_(fftwfArray<float>(n)), half_(fftwfArray<fftwf_complex>(n / 2 + 1)),
          full_(fftwfArray<fftwf_complex>(n)) {
        const int length = static_cast<int>(n);
        forward_ = platform::fftwf().planDftR2c1d(length, real_.get(), half_.get(), FFTW_ESTIMATE);
        backward_ = platform::fftwf().planDft1d(length, full_.get(), full_.get(), FFTW_BACKWARD, FFTW_ESTIMATE);
    }
    ~FftWorkspace() {
        platform::fftwf().destroyPlan(forward_);
        platform::fftwf().destroyPlan(backward_);
    }
    FftWorkspace(const FftWorkspace&) = delete;
    FftWorkspace& operator=(const FftWorkspace&) = delete;

    std::size_t size() const { return n_; }
    std::span<float> real() { return {real_.get(), n_}; }
    std::complex<float> half(std::size_t k) const { return {half_[k][0], half_[k][1]}; }
    void setFull(std::size_t k, std::complex<float> v) {
        full_[k][0] = v.real();
        full_[k][1] = v.imag();
    }
    std::complex<float> full(std::size_t k) const { return {full_[k][0], full_[k][1]}; }
    void forward() { platform::fftwf().execute(forward_); }
    void backward() { platform::fftwf().execute(backward_); }

private:
    std::size_t n_;
    FftwfArray<float> real_;
    FftwfArray<fftwf_complex> half_;  // r2c output
    FftwfArray<fftwf_complex> full_;  // analytic spectrum, then the envelope
    fftwf_plan forward_ = nullptr;
    fftwf_plan backward_ = nullptr;
};

FftWorkspaces::FftWorkspaces() = default;
FftWorkspaces::~FftWorkspaces() = default;

FftWorkspace& FftWorkspaces::forSize(std::size_t n) {
    std::unique_ptr<FftWorkspace>& slot = bySize_[n];
    if (!slot) slot = std::make_unique<FftWorkspace>(n);
    return *slot;
}

EnvelopeCorrelator::EnvelopeCorrelator(std::span<const double> pattern, FftWorkspaces& workspaces)
    : patternLength_(pattern.size()), workspace_(&workspaces.forSize(fftSizeFor(pattern.size()))) {
    FftWorkspace& w = *workspace_;
    const std::span<float> real = w.real();
    std::fill(real.begin(), real.end(), 0.0f);
    std::transform(pattern.begin(), pattern.end(), real.begin(), [](double v) { return static_cast<float>(v); });
    w.forward();
    spectrum_.resize(w.size() / 2 + 1);
    for (std::size_t k = 0; k < spectrum_.size(); ++k) spectrum_[k] = std::conj(w.half(k));
}

void EnvelopeCorrelator::run(const RecordingView& recording, std::int64_t from, std::int64_t to,
                             const Visitor& visit) {
    FftWorkspace& w = *workspace_;
    const std::size_t n = w.size();
    const std::size_t valid = n - patternLength_ + 1;  // lags per block free of wrap-around
    const float scale = 1.0f / static_cast<float>(n);
    std::vector<std::complex<float>> values;
    for (std::int64_t lag = from; lag < to; lag += static_cast<std::int64_t>(valid)) {
        copySamples(recording, lag, w.real());
        w.forward();
        // Positive frequencies doubled, DC and Nyquist once, negative ones zero.
        for (std::size_t k = 0; k <= n / 2; ++k) {
            const float weight = (k == 0 || k == n / 2) ? scale : 2.0f * scale;
            w.setFull(k, weight * w.half(k) * spectrum_[k]);
        }
        for (std::size_t k = n / 2 + 1; k < n; ++k) w.setFull(k, 0.0f);
        w.backward();
        const auto count = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(valid), to - lag));
        values.resize(count);
        for (std::size_t m = 0; m < count; ++m) values[m] = w.full(m);
        visit(lag, values);
    }
}

}  // namespace auralyn::analysis
