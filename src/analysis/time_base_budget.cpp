#include "analysis/time_base_budget.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "analysis/fit_uncertainty.h"
#include "analysis/recording_analysis.h"
#include "sweep/sweep_plan.h"

namespace auralyn::analysis {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDbPerNeper = 8.685889638065037;  // 20 / ln 10
// A shift of the trigger more likely than this lies inside a 95 % interval.
constexpr double kShiftChanceOutside = 0.025;
// The lead-in samples looked at for the noise at the pulse: its last second or so.
constexpr std::size_t kNoiseSamples = 65536;

// P(X > margin) for X ~ N(0, sd^2).
double upperTail(double margin, double sd) {
    if (!(sd > 0.0)) return margin < 0.0 ? 1.0 : 0.0;
    return 0.5 * std::erfc(margin / (sd * std::sqrt(2.0)));
}

double magnitudeAt(const std::vector<Sample>& recording, std::int64_t index) {
    if (index < 0 || index >= static_cast<std::int64_t>(recording.size())) return 0.0;
    return std::abs(static_cast<double>(recording[static_cast<std::size_t>(index)]));
}

}  // namespace

double triggerShiftChance(const std::vector<Sample>& recording, std::int64_t trigger, double threshold,
                          double noiseSd) {
    const double earlier = upperTail(threshold - magnitudeAt(recording, trigger - 1), noiseSd);
    const double later = upperTail(magnitudeAt(recording, trigger) - threshold, noiseSd);
    return std::min(1.0, earlier + later);
}

double robustNoiseSd(const Sample* samples, std::size_t count, double step) {
    if (samples == nullptr || count == 0) return 0.0;
    const std::size_t first = count > kNoiseSamples ? count - kNoiseSamples : 0;
    std::vector<double> values(samples + first, samples + count);
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    const double median = *middle;
    for (double& v : values) v = std::fabs(v - median);
    std::nth_element(values.begin(), middle, values.end());
    // Below one step the samples are rounding, not noise: a step's uniform spread.
    return std::max(1.4826 * *middle, step * std::sqrt(kQuantizationVariance));
}

TimeBaseUncertainty timeBaseUncertainty(const clock::ClockFigure& figure, bool corrected, double triggerShift) {
    TimeBaseUncertainty u;
    u.originSamples = triggerShift > kShiftChanceOutside ? 1.0 : 0.0;
    if (corrected)
        u.ratio = figure.u95 * 1e-6;
    else if (figure.verdict == clock::ClockVerdict::OutOfRange)
        u.ratio = (std::fabs(figure.ppm) + figure.u95) * 1e-6;
    else
        u.ratio = clock::kMaxClockPpm * 1e-6;
    return u;
}

TimeBaseUncertainty sweepTimeBase(const sweep::SweepPlan& plan, const ClockCorrectedSweep& sweep,
                                  const std::vector<Sample>& timed, double step) {
    const LeadInSpan leadIn = leadInBefore(timed, sweep.trigger, step);
    const double threshold = sweep::percentToAmplitude(plan.params().syncThreshold);
    const double shift = triggerShiftChance(timed, sweep.trigger, threshold, robustNoiseSd(leadIn.samples, leadIn.count, step));
    return timeBaseUncertainty(sweep.clock, sweep.corrected, shift);
}

void addTimeBase(ToneQuality& quality, const TimeBaseUncertainty& timeBase, double cyclesPerSample,
                 double centreTime, double blockLength) {
    if (!quality.fitted) return;
    const double turns = cyclesPerSample * std::hypot(timeBase.originSamples, timeBase.ratio * centreTime);
    const double timeDeg = 360.0 * turns;
    quality.phaseU95Deg = std::min(kMaxPhaseU95Deg, std::hypot(quality.phaseU95Deg, timeDeg));
    const double mistuning = kPi * cyclesPerSample * timeBase.ratio * blockLength;
    const double lossDb = kDbPerNeper * mistuning * mistuning / 6.0;
    quality.magnitudeU95Db = std::min(kMaxMagnitudeU95Db, quality.magnitudeU95Db + lossDb);
}

}  // namespace auralyn::analysis
