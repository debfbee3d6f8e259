#include "analysis/lead_in_moments.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "analysis/goertzel.h"

namespace auralyn::analysis {
namespace {

// 16-bit codes (at most 2^15 in magnitude): products below 2^30, so sums of up
// to 2^23 of them stay exact in a double. Finer samples (24-bit) round in the
// last bits, as a direct fit does.
constexpr std::size_t kExactTerms = std::size_t{1} << 23;

// `diagonal` gathers the squares of the samples by position; the products
// above the diagonal go into m.squares once (see leadInMoments).
void addBlock(const std::vector<double>& y, std::vector<double>& diagonal, LeadInMoments& m) {
    const std::size_t n = y.size();
    double sum = 0.0;
    for (double v : y) sum += v;
    m.sumSquared += sum * sum;
    for (std::size_t i = 0; i < n; ++i) m.withSum[i] += sum * y[i];
    // Row by row rather than lag by lag, so that the inner loop is an
    // independent multiply-add per element (vectorized); the sums are exact
    // integers either way.
    for (std::size_t i = 0; i < n; ++i) {
        const double yi = y[i];
        const double* tail = y.data() + i;
        double* lag = m.lags.data();
        for (std::size_t k = 0; k + i < n; ++k) lag[k] += yi * tail[k];
    }
    for (std::size_t i = 0; i < n; ++i) {
        const double yi = y[i];
        double* row = m.squares.data() + i;
        for (std::size_t j = i + 1; j < n; ++j) row[j] += yi * y[j];
        diagonal[i] += yi * yi;
    }
}

// Samples that are all 16-bit codes make every product and sum below an exact
// integer, whatever order they are added in.
bool allCodes(const Sample* first, std::size_t count) {
    bool codes = true;
    for (std::size_t n = 0; n < count; ++n) {
        const Sample v = first[n];
        codes &= std::fabs(v) <= 32768.0f && v == nearestWhole(v);
    }
    return codes;
}

using Lanes = double __attribute__((vector_size(16)));  // two products per instruction (GCC, Clang)
constexpr std::size_t kLanes = 2;
constexpr std::size_t kChains = 4;  // independent sums, so that the adds overlap in the pipeline
constexpr std::size_t kStep = kLanes * kChains;

Lanes lanesAt(const double* values) {
    Lanes lanes;
    std::memcpy(&lanes, values, sizeof lanes);
    return lanes;
}

// sum_k a[k] b[k] over `count` entries, a multiple of kStep.
double dot(const double* a, const double* b, std::size_t count) {
    Lanes sums[kChains] = {};
    for (std::size_t k = 0; k < count; k += kStep) {
        for (std::size_t c = 0; c < kChains; ++c) sums[c] += lanesAt(a + k + c * kLanes) * lanesAt(b + k + c * kLanes);
    }
    const Lanes all = (sums[0] + sums[1]) + (sums[2] + sums[3]);
    return all[0] + all[1];
}

// Moments of `blocks` blocks of `length` samples with every sum still zero.
LeadInMoments zeroMoments(std::size_t length, std::size_t blocks) {
    LeadInMoments m;
    m.blockLength = length;
    m.blocks = blocks;
    m.lags.assign(length, 0.0);
    m.squares.assign(2 * length - 1, 0.0);
    m.withSum.assign(length, 0.0);
    return m;
}

// The same moments for 16-bit codes, product by product: the blocks' sum of
// y_b[i] y_b[j] is one dot product over the blocks (each position's samples
// of every block stored side by side), formed once for the pair (i, j) and
// added to both the lag j - i and the square's term i + j. Half the products
// of the block-by-block form, and no sum depends on its order.
LeadInMoments momentsOfCodes(const Sample* end, std::size_t length, std::size_t blocks) {
    LeadInMoments m = zeroMoments(length, blocks);
    const std::size_t stride = (blocks + kStep - 1) / kStep * kStep;  // zeros pad each row
    std::vector<double> positions(length * stride, 0.0);
    std::vector<double> sums(stride, 0.0);
    for (std::size_t b = 0; b < blocks; ++b) {
        const Sample* start = end - (b + 1) * length;
        for (std::size_t i = 0; i < length; ++i) {
            positions[i * stride + b] = start[i];
            sums[b] += start[i];
        }
        m.sumSquared += sums[b] * sums[b];
    }
    for (std::size_t i = 0; i < length; ++i) {
        const double* row = positions.data() + i * stride;
        m.withSum[i] = dot(row, sums.data(), stride);
        const double square = dot(row, row, stride);
        m.squares[2 * i] += square;
        m.lags[0] += square;
        for (std::size_t j = i + 1; j < length; ++j) {
            const double product = dot(row, positions.data() + j * stride, stride);
            m.lags[j - i] += product;
            m.squares[i + j] += 2.0 * product;
        }
    }
    return m;
}

// How many tones must ask for one block length before its moments pay off:
// the block length over the cache's divisor, and at least two.
std::size_t requestsBeforeBuilding(std::size_t length, std::size_t divisor) {
    return std::max<std::size_t>(2, length / divisor);
}

}  // namespace

bool momentsAreExact(std::size_t length, std::size_t blocks) {
    return length > 0 && blocks > 0 && length <= kExactTerms / blocks;
}

LeadInMoments leadInMoments(const Sample* end, std::size_t length, std::size_t blocks) {
    if (blocks > 0 && allCodes(end - blocks * length, blocks * length)) return momentsOfCodes(end, length, blocks);
    LeadInMoments m = zeroMoments(length, blocks);
    std::vector<double> y(length);
    std::vector<double> diagonal(length, 0.0);
    for (std::size_t b = 0; b < blocks; ++b) {
        const Sample* start = end - (b + 1) * length;
        for (std::size_t i = 0; i < length; ++i) y[i] = start[i];
        addBlock(y, diagonal, m);
    }
    // The self-convolution holds each product y_i y_j with i != j twice and
    // each square once: half the products are formed, and the sums (exact
    // integers) doubled.
    for (double& square : m.squares) square *= 2.0;
    for (std::size_t i = 0; i < length; ++i) m.squares[2 * i] += diagonal[i];
    return m;
}

BlockSpectrum blockSpectrum(const LeadInMoments& m, double w) {
    BlockSpectrum s;
    blockSpectra(m, &w, 1, &s);
    return s;
}

void blockSpectra(const LeadInMoments& m, const double* w, std::size_t count, BlockSpectrum* out) {
    // Three chains per frequency: the lags, the squares, the sum-weighted samples.
    std::vector<const double*> values;
    std::vector<std::size_t> lengths;
    std::vector<double> thetas;
    for (std::size_t f = 0; f < count; ++f) {
        for (const std::vector<double>* sequence : {&m.lags, &m.squares, &m.withSum}) {
            values.push_back(sequence->data());
            lengths.push_back(sequence->size());
            thetas.push_back(w[f]);
        }
    }
    std::vector<std::complex<double>> sums(values.size());
    sequenceCorrelations(values.data(), lengths.data(), thetas.data(), values.size(), sums.data());
    for (std::size_t f = 0; f < count; ++f) {
        BlockSpectrum& s = out[f];
        s.power = 2.0 * sums[3 * f].real() - m.lags[0];
        s.square = sums[3 * f + 1];
        s.withSum = sums[3 * f + 2];
        s.sumSquared = m.sumSquared;
    }
}

LeadInMomentCache::LeadInMomentCache(std::size_t divisor) : divisor_(std::max<std::size_t>(1, divisor)) {}

const LeadInMoments* LeadInMomentCache::find(const Sample* end, std::size_t length, std::size_t blocks) {
    if (!momentsAreExact(length, blocks)) return nullptr;
    const std::lock_guard<std::mutex> lock(mutex_);
    auto entry = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) {
        return e.end == end && e.length == length && e.blocks == blocks;
    });
    if (entry == entries_.end()) {
        entries_.push_back(Entry{end, length, blocks, 0, nullptr, {}});
        entry = entries_.end() - 1;
    }
    if (!entry->moments && ++entry->requests >= requestsBeforeBuilding(length, divisor_))
        entry->moments = std::make_unique<LeadInMoments>(leadInMoments(end, length, blocks));
    return entry->moments.get();
}

LeadInMomentCache::Entry* LeadInMomentCache::entryOf(const LeadInMoments& moments) {
    const auto entry =
        std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.moments.get() == &moments; });
    return entry == entries_.end() ? nullptr : &*entry;
}

void LeadInMomentCache::spectra(const LeadInMoments& moments, const double* w, std::size_t count,
                                BlockSpectrum* out) {
    std::vector<double> missing;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        const Entry* entry = entryOf(moments);
        for (std::size_t f = 0; f < count; ++f) {
            const bool known = entry != nullptr && entry->spectra.contains(w[f]);
            if (!known && std::find(missing.begin(), missing.end(), w[f]) == missing.end()) missing.push_back(w[f]);
        }
    }
    // Evaluated without the lock: other threads may go on meanwhile.
    std::vector<BlockSpectrum> evaluated(missing.size());
    if (!missing.empty()) blockSpectra(moments, missing.data(), missing.size(), evaluated.data());
    const std::lock_guard<std::mutex> lock(mutex_);
    Entry* entry = entryOf(moments);
    for (std::size_t f = 0; f < count; ++f) {
        const auto fresh = std::find(missing.begin(), missing.end(), w[f]);
        out[f] = fresh != missing.end() ? evaluated[static_cast<std::size_t>(fresh - missing.begin())]
                                        : entry->spectra.at(w[f]);
    }
    if (entry == nullptr) return;
    for (std::size_t f = 0; f < missing.size(); ++f) entry->spectra.emplace(missing[f], evaluated[f]);
}

}  // namespace auralyn::analysis
