#pragma once

#include <complex>
#include <cstddef>
#include <cstdint>

#include "analysis/sample.h"
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace auralyn::analysis {

// The second moments of the lead-in's blocks of one length that every
// three-parameter fit to them needs, whatever its frequency: with y_b the
// blocks, S_b their sums and X_b(w) = sum_n y_b[n] exp(i w n),
//   sum_b |X_b(w)|^2   = lags[0] + 2 Re sum_{k>=1} lags[k] exp(i w k)
//   sum_b X_b(w)^2     = sum_k squares[k] exp(i w k)
//   sum_b S_b X_b(w)   = sum_n withSum[n] exp(i w n)
//   sum_b S_b^2        = sumSquared
// (the blocks' summed autocorrelation, self-convolution, and sum-weighted
// samples). Each is a trigonometric polynomial in w whose coefficients are
// exact integers, so a tone's noise fit over all the blocks costs a few
// evaluations over one block's length instead of a pass over the lead-in.
struct LeadInMoments {
    std::size_t blockLength = 0;
    std::size_t blocks = 0;
    std::vector<double> lags;     // blockLength entries
    std::vector<double> squares;  // 2 blockLength - 1 entries
    std::vector<double> withSum;  // blockLength entries
    double sumSquared = 0.0;
};

// The moments of `blocks` blocks of `length` samples counted back from `end`.
// Every coefficient is an integer below 2^53 (checked by momentsAreExact), so
// doubles hold them exactly.
LeadInMoments leadInMoments(const Sample* end, std::size_t length, std::size_t blocks);
bool momentsAreExact(std::size_t length, std::size_t blocks);

// The sums above at angular frequency w (radians per sample).
struct BlockSpectrum {
    double power = 0.0;                 // sum_b |X_b|^2
    std::complex<double> square;        // sum_b X_b^2
    std::complex<double> withSum;       // sum_b S_b X_b
    double sumSquared = 0.0;            // sum_b S_b^2
};
BlockSpectrum blockSpectrum(const LeadInMoments& moments, double w);
// The same at several frequencies at once: their sums run side by side.
void blockSpectra(const LeadInMoments& moments, const double* w, std::size_t count, BlockSpectrum* out);

// A lead-in's moments, built per block length once enough tones have asked
// for that length that building them costs less than fitting each tone's
// blocks directly. Shared by the copies of one lead-in span; safe to use from
// several threads.
class LeadInMomentCache {
public:
    // Building takes length^2 / 2 products per block against about 5
    // dependent operations per sample of a tone's direct fits, which puts the
    // switch near a quarter of the block length in requests
    // (kPlainMomentDivisor). Formed as dot products over the blocks, the
    // products run many lanes to an instruction, and on the dense sweep's
    // lead-ins the moments already win after a thirty-second
    // (kEagerMomentDivisor). Direct fits and moments agree to rounding; the
    // analysis without the clock correction keeps the plain switch so that
    // its reports keep their last digits.
    static constexpr std::size_t kPlainMomentDivisor = 4;
    static constexpr std::size_t kEagerMomentDivisor = 32;

    // Moments are built once a length has been asked for length / divisor times.
    explicit LeadInMomentCache(std::size_t divisor = kPlainMomentDivisor);

    // The moments for this length, or nullptr while direct fits are cheaper.
    const LeadInMoments* find(const Sample* end, std::size_t length, std::size_t blocks);

    // blockSpectra of moments that find gave, each frequency evaluated once
    // however often it is asked for: a tone's harmonic is often another
    // tone's fundamental or harmonic, to the bit. The sums are the same
    // whichever frequencies they are evaluated with.
    void spectra(const LeadInMoments& moments, const double* w, std::size_t count, BlockSpectrum* out);

private:
    struct Entry {
        const Sample* end = nullptr;
        std::size_t length = 0;
        std::size_t blocks = 0;
        std::size_t requests = 0;
        std::unique_ptr<LeadInMoments> moments;
        std::unordered_map<double, BlockSpectrum> spectra;  // by w, radians per sample
    };
    // The entry holding these moments, or nullptr; the mutex held.
    Entry* entryOf(const LeadInMoments& moments);

    std::size_t divisor_;
    std::mutex mutex_;
    std::vector<Entry> entries_;
};

}  // namespace auralyn::analysis
