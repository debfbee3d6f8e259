#pragma once

#include <complex>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <vector>

#include "analysis/sample.h"

namespace auralyn::analysis {

// A recording's samples as the correlator reads them; samples outside the
// recording read as zero.
struct RecordingView {
    const Sample* samples = nullptr;
    std::int64_t size = 0;

    static RecordingView of(std::span<const Sample> samples) {
        return {samples.data(), static_cast<std::int64_t>(samples.size())};
    }
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
