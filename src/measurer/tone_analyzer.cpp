#include "measurer/tone_analyzer.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>

#include "measurer/sine_cosine.h"

namespace auralyn::measurer {
namespace {

constexpr double kTwoPi = 6.283185307179586;
// Pieces of a few kilobytes: the angles, sines and cosines of one stay in the
// first-level cache between the passes over it.
constexpr std::size_t kCorrelationPiece = 128;
static_assert(kCorrelationPiece <= kSineCosineBlock);

// Correlation sums of one block with the sine and cosine of its angles.
struct CorrelationSums {
    double sine = 0.0;           // sum of sin(theta_i) * s_i
    double cosine = 0.0;         // sum of cos(theta_i) * s_i
    double sineSquares = 0.0;    // sum of sin^2(theta_i)
    double sineCosines = 0.0;    // sum of sin(theta_i) * cos(theta_i)
    double cosineSquares = 0.0;  // sum of cos^2(theta_i)
    // The samples' own sums for the clock's fits; whole numbers, so exact.
    std::int64_t sampleSum = 0;
    std::int64_t squareSum = 0;
};

// theta_i = ((2 pi f) / R) * i: product and quotient in extended precision so that
// every build lands on the same angle, rounded to double before sin and cos.
void fillAngles(long double step, std::int32_t first, std::size_t count, double* angles) {
    // Each index converted on its own (exact, as the sum of two whole numbers
    // would be) rather than counted up, which would chain every angle to the last.
    const std::int64_t count64 = static_cast<std::int64_t>(count);
    for (std::int64_t j = 0; j < count64; ++j) angles[j] = static_cast<double>(step * static_cast<long double>(first + j));
}

void addBlock(const double* sines, const double* cosines, const std::int16_t* samples, std::size_t count,
              CorrelationSums& sums) {
    for (std::size_t j = 0; j < count; ++j) {
        const double s = sines[j];
        const double c = cosines[j];
        if (samples != nullptr) {
            const std::int64_t code = samples[j];
            sums.sampleSum += code;
            sums.squareSum += code * code;
            const double value = samples[j];
            sums.sine = sums.sine + s * value;
            sums.cosine = sums.cosine + c * value;
        }
        sums.sineSquares = sums.sineSquares + s * s;
        sums.sineCosines = sums.sineCosines + s * c;
        sums.cosineSquares = sums.cosineSquares + c * c;
    }
}

// Samples first to end - 1 added to the sums, in pieces small enough for the stack.
void correlateRange(const std::int16_t* samples, std::int32_t first, std::int32_t end, long double step,
                    CorrelationSums& sums) {
    double angles[kCorrelationPiece];
    double sines[kCorrelationPiece];
    double cosines[kCorrelationPiece];
    while (first < end) {
        const std::size_t piece = std::min<std::size_t>(kCorrelationPiece, static_cast<std::size_t>(end - first));
        fillAngles(step, first, piece, angles);
        sineCosine(angles, sines, cosines, piece);
        addBlock(sines, cosines, samples == nullptr ? nullptr : samples + first, piece, sums);
        first += static_cast<std::int32_t>(piece);
    }
}

// The sums as they stood after the first half of the block, for the clock's
// fits, and over the whole block. The sums run on through the halves' border
// in one order, so the whole block's are those of a single pass.
struct BlockCorrelation {
    CorrelationSums firstHalf;
    CorrelationSums whole;
};

BlockCorrelation correlate(const std::int16_t* samples, std::int32_t count, double frequency, std::uint32_t rate) {
    const long double step =
        (static_cast<long double>(kTwoPi) * static_cast<long double>(frequency)) / static_cast<long double>(rate);
    BlockCorrelation result;
    const std::int32_t half = count > 0 ? count / 2 : 0;
    correlateRange(samples, 0, half, step, result.whole);
    result.firstHalf = result.whole;
    correlateRange(samples, half, count, step, result.whole);
    return result;
}

clock::BlockSums blockSums(const CorrelationSums& sums) {
    return clock::BlockSums{static_cast<double>(sums.sampleSum), static_cast<double>(sums.squareSum),
                            std::complex<double>(sums.cosine, sums.sine)};
}

// The second half's sums as the whole block's less the first half's.
clock::BlockSums secondHalfSums(const CorrelationSums& whole, const CorrelationSums& first) {
    return clock::BlockSums{static_cast<double>(whole.sampleSum - first.sampleSum),
                            static_cast<double>(whole.squareSum - first.squareSum),
                            std::complex<double>(whole.cosine - first.cosine, whole.sine - first.sine)};
}

// 2 * sqrt(x^2 + y^2) / N, and 0 for an empty block rather than a division by zero.
double correlationAmplitude(double x, double y, std::int32_t count) {
    if (count <= 0) return 0.0;
    const double squares = x * x + y * y;
    return 2.0 * std::sqrt(squares) / static_cast<double>(count);
}

}  // namespace

void ToneAnalyzer::invalidate() {
    referenceValid_ = false;
    measurementValid_ = false;
    resultValid_ = false;
}

void ToneAnalyzer::setSampleRate(std::uint32_t rate) {
    if (rate == sampleRate_) return;
    sampleRate_ = rate;
    invalidate();
}

void ToneAnalyzer::setTone(double frequency, std::int32_t count) {
    if (frequency == frequency_ && count == count_) return;
    frequency_ = frequency;
    count_ = count;
    invalidate();
}

void ToneAnalyzer::setSamples(const std::int16_t* samples) {
    if (samples == samples_) return;
    samples_ = samples;
    invalidate();
}

void ToneAnalyzer::samplesChanged() { invalidate(); }

void ToneAnalyzer::measure() {
    // A rate of 0 would make every angle infinite; no recording has one.
    const std::uint32_t rate = sampleRate_ == 0 ? 1 : sampleRate_;
    const BlockCorrelation correlation = correlate(samples_, count_, frequency_, rate);
    const CorrelationSums& sums = correlation.whole;
    halves_.omega = static_cast<double>((static_cast<long double>(kTwoPi) * static_cast<long double>(frequency_)) /
                                        static_cast<long double>(rate));
    halves_.first = blockSums(correlation.firstHalf);
    halves_.second = secondHalfSums(correlation.whole, correlation.firstHalf);
    sineSquares_ = sums.sineSquares;
    sineCosines_ = sums.sineCosines;
    cosineSquares_ = sums.cosineSquares;
    measuredAmplitude_ = correlationAmplitude(sums.sine, sums.cosine, count_);
    measuredPhase_ = (sums.sine == 0.0 && sums.cosine == 0.0) ? 0.0 : std::atan2(sums.cosine, sums.sine);
    measurementValid_ = true;
}

// The correlation of the unit sine sin(theta_i + phi) with sin(theta_i) and
// cos(theta_i), expanded as sin(theta_i) cos(phi) + cos(theta_i) sin(phi) so that
// it is formed from the measurement pass's own sums.
void ToneAnalyzer::computeReference() {
    if (!measurementValid_) measure();
    const double cosPhi = std::cos(measuredPhase_);
    const double sinPhi = std::sin(measuredPhase_);
    const double sine = cosPhi * sineSquares_ + sinPhi * sineCosines_;
    const double cosine = cosPhi * sineCosines_ + sinPhi * cosineSquares_;
    referenceAmplitude_ = correlationAmplitude(sine, cosine, count_);
    referenceValid_ = true;
}

void ToneAnalyzer::computeResult() {
    if (!measurementValid_) measure();
    if (!referenceValid_) computeReference();
    // No reference (an empty block, or a tone the block cannot tell apart from
    // silence) gives no result: amplitude 0 and phase 0 rather than a division by zero.
    const bool hasReference = referenceAmplitude_ != 0.0;
    amplitudeRatio_ = hasReference ? measuredAmplitude_ / referenceAmplitude_ : 0.0;
    phaseResult_ = hasReference ? measuredPhase_ : 0.0;
    resultValid_ = true;
}

double ToneAnalyzer::amplitude() {
    if (!resultValid_) computeResult();
    return amplitudeRatio_;
}

double ToneAnalyzer::measuredAmplitude() {
    if (!measurementValid_) measure();
    return measuredAmplitude_;
}

const clock::HalvesSums& ToneAnalyzer::halvesSums() {
    if (!measurementValid_) measure();
    return halves_;
}

double ToneAnalyzer::phase() {
    if (!resultValid_) computeResult();
    return phaseResult_;
}

}  // namespace auralyn::measurer
