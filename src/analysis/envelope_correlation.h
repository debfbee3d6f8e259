#pragma once

#include <complex>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <vector>

namespace auralyn::analysis {

// Recording samples, 16-bit or floating point, read as doubles; samples
// outside the recording read as zero.
struct RecordingView {
    const std::int16_t* pcm16 = nullptr;
    const float* floats = nullptr;
    std::int64_t size = 0;

    static RecordingView of(std::span<const std::int16_t> samples) {
        return {samples.data(), nullptr, static_cast<std::int64_t>(samples.size())};
    }
    static RecordingView of(std::span<const float> samples) {
        return {nullptr, samples.data(), static_cast<std::int64_t>(samples.size())};
    }
    void copy(std::int64_t from, std::span<double> out) const;
};

// The buffers and FFTW plans of one transform length, shared by every
// pattern of that length (allocating them anew for each would cost more
// than the transforms).
class FftWorkspace;
class FftWorkspaces {
public:
    FftWorkspaces();
    ~FftWorkspaces();
    FftWorkspaces(const FftWorkspaces&) = delete;
    FftWorkspaces& operator=(const FftWorkspaces&) = delete;
    FftWorkspace& forSize(std::size_t n);

private:
    std::map<std::size_t, std::unique_ptr<FftWorkspace>> bySize_;
};

// The complex envelope of the cross-correlation of a pattern with a
// recording, c(lag) = sum_j pattern[j] x[lag + j], plus i times its Hilbert
// transform (the analytic signal, Oppenheim & Schafer): its magnitude is the
// correlation's envelope, which peaks once where the pattern lies even when
// the pattern is narrow-band and its carrier repeats every period.
// Computed in single precision (ample for finding a peak) by overlap-save
// with FFTW: each block of the recording is transformed once, multiplied by
// the pattern's conjugate spectrum with the negative frequencies removed, and
// transformed back.
class EnvelopeCorrelator {
public:
    EnvelopeCorrelator(std::span<const double> pattern, FftWorkspaces& workspaces);

    // Calls visit(firstLag, values) for consecutive runs of lags covering [from, to).
    using Visitor = std::function<void(std::int64_t, std::span<const std::complex<float>>)>;
    void run(const RecordingView& recording, std::int64_t from, std::int64_t to, const Visitor& visit);

    std::size_t patternLength() const { return patternLength_; }

private:
    std::size_t patternLength_ = 0;
    FftWorkspace* workspace_ = nullptr;
    std::vector<std::complex<float>> spectrum_;  // the pattern's, conjugated, bins 0 .. n/2
};

}  // namespace auralyn::analysis
