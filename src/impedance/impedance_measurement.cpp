#include "impedance/impedance_measurement.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "impedance/estimate.h"
#include "impedance/log_uncertainty.h"

namespace auralyn::impedance {
namespace {

// Tones of one sweep have the same frequencies to the last bit; a relative
// gap of 1e-9 still tells the tones of different sweeps apart.
bool sameFrequency(double a, double b) { return std::abs(a - b) <= 1e-9 * std::max(a, b); }

const RatioTone* toneAt(const std::vector<RatioTone>& tones, double frequency) {
    const auto found = std::find_if(tones.begin(), tones.end(),
                                    [frequency](const RatioTone& t) { return sameFrequency(t.frequency, frequency); });
    return found == tones.end() ? nullptr : &*found;
}

bool coversAll(const std::vector<RatioTone>& tones, const std::vector<RatioTone>* other) {
    if (other == nullptr) return true;
    return std::all_of(tones.begin(), tones.end(),
                       [other](const RatioTone& t) { return !t.measured || toneAt(*other, t.frequency) != nullptr; });
}

// The leads' impedance from their shorted recording, seen through a mismatch.
std::optional<std::complex<double>> leadsThrough(const Compensation& compensation, const Fixture& fixture,
                                                 double frequency, const LogUncertain& mismatch) {
    if (compensation.shortCircuit == nullptr) return std::nullopt;
    const RatioTone* shorted = toneAt(*compensation.shortCircuit, frequency);
    if (shorted == nullptr || !shorted->measured) return std::nullopt;
    const std::optional<LogUncertain> leads = impedanceFromRatio(quotientOf(ratioWithErrors(*shorted), mismatch), fixture);
    if (!leads) return std::nullopt;
    return leads->value;
}

// The ratio the resistor's recording shows over the ratio it should show: the
// channels' relative gain and phase at this tone. The resistor was recorded
// behind the leads; with their own recording (the short) the two unknowns,
// the mismatch and the leads' impedance, are found together by fixed-point
// steps: the leads are small against the resistor, so every step gains
// orders of magnitude.
std::optional<LogUncertain> mismatchAt(const Compensation& compensation, const Fixture& fixture, double frequency) {
    const RatioTone* tone = toneAt(*compensation.resistor, frequency);
    if (tone == nullptr || !tone->measured) return std::nullopt;
    LogUncertain mismatch = ratioWithErrors(*tone);
    const std::complex<double> shown = mismatch.value;
    std::complex<double> leads = 0.0;
    for (int step = 0; step < 50; ++step) {
        mismatch.value = shown / ratioForLoad(compensation.resistorOhms + leads, fixture);
        const std::optional<std::complex<double>> found = leadsThrough(compensation, fixture, frequency, mismatch);
        if (!found) break;
        const bool settled = std::abs(*found - leads) <= 1e-13 * (compensation.resistorOhms + std::abs(leads));
        leads = *found;
        if (settled) break;
    }
    return mismatch;
}

std::optional<LogUncertain> compensatedRatio(const RatioTone& tone, const Fixture& fixture,
                                             const Compensation& compensation) {
    const LogUncertain ratio = ratioWithErrors(tone);
    if (compensation.resistor == nullptr) return ratio;
    const std::optional<LogUncertain> mismatch = mismatchAt(compensation, fixture, tone.frequency);
    if (!mismatch) return std::nullopt;
    return quotientOf(ratio, *mismatch);
}

std::optional<LogUncertain> impedanceOfTone(const RatioTone& tone, const Fixture& fixture,
                                            const Compensation& compensation) {
    if (!tone.measured) return std::nullopt;
    const std::optional<LogUncertain> ratio = compensatedRatio(tone, fixture, compensation);
    return ratio ? impedanceFromRatio(*ratio, fixture) : std::nullopt;
}

// Z minus the leads' impedance, measured the same way.
std::optional<LogUncertain> withoutLeads(const LogUncertain& z, const RatioTone& tone, const Fixture& fixture,
                                         const Compensation& compensation) {
    if (compensation.shortCircuit == nullptr) return z;
    const RatioTone* shorted = toneAt(*compensation.shortCircuit, tone.frequency);
    if (shorted == nullptr) return std::nullopt;
    std::optional<LogUncertain> leads = impedanceOfTone(*shorted, fixture, compensation);
    if (!leads) return std::nullopt;
    leads->value = -leads->value;
    return sumOf(z, *leads);
}

// A voltage above the drive's cannot appear across a passive load in series
// with Rs; most tones showing it (beyond their intervals) means the two
// channels were given the other way round.
bool looksSwapped(const std::vector<RatioTone>& tones, const Fixture& fixture) {
    if (fixture.wiring != Wiring::Series) return false;
    std::size_t measured = 0;
    std::size_t above = 0;
    for (const RatioTone& tone : tones) {
        if (!tone.measured) continue;
        ++measured;
        const double lowest = std::abs(tone.ratio) * std::pow(10.0, -tone.magnitudeU95Db / 20.0);
        if (lowest > 1.0) ++above;
    }
    return measured > 0 && 2 * above > measured;
}

// A passive load has a resistance of zero or more; most tones giving a
// negative one, beyond their intervals, means a channel's polarity is reversed.
bool looksReversed(const ImpedanceCurve& curve) {
    std::size_t negative = 0;
    for (const ImpedancePoint& p : curve) {
        const double phase = std::abs(phaseDegOf(p));
        if (phase - p.phaseU95Deg > 90.0) ++negative;
    }
    return !curve.empty() && 2 * negative > curve.size();
}

}  // namespace

ImpedanceMeasurement measureImpedance(const std::vector<RatioTone>& tones, const Fixture& fixture,
                                      const Compensation& compensation) {
    ImpedanceMeasurement result;
    if (looksSwapped(tones, fixture)) {
        result.problem = WiringProblem::ChannelsSwapped;
        return result;
    }
    if (!coversAll(tones, compensation.shortCircuit) || !coversAll(tones, compensation.resistor)) {
        result.problem = WiringProblem::SweepsDiffer;
        return result;
    }
    for (const RatioTone& tone : tones) {
        std::optional<LogUncertain> z = impedanceOfTone(tone, fixture, compensation);
        if (z) z = withoutLeads(*z, tone, fixture, compensation);
        if (!z) {
            ++result.tonesLeftOut;
            continue;
        }
        result.curve.push_back(pointOf(tone.frequency, *z, fixture, tone.driveDbfs));
    }
    std::sort(result.curve.begin(), result.curve.end(),
              [](const ImpedancePoint& a, const ImpedancePoint& b) { return a.frequency < b.frequency; });
    if (result.curve.empty()) result.problem = WiringProblem::NoTones;
    else if (looksReversed(result.curve)) result.problem = WiringProblem::PolarityReversed;
    return result;
}

std::string describe(WiringProblem problem) {
    switch (problem) {
        case WiringProblem::None: return "";
        case WiringProblem::NoTones: return "no tone gave an impedance: both channels must hold the sweep";
        case WiringProblem::ChannelsSwapped:
            return "the driver's channel carries more than the drive's at most tones: the channels are swapped "
                   "(exchange --channel and --reference-channel)";
        case WiringProblem::PolarityReversed:
            return "the load's resistance comes out negative at most tones: one channel's polarity is reversed, "
                   "or the wiring is not the one named with --wiring";
        case WiringProblem::SweepsDiffer:
            return "a compensation recording does not hold the same tones: record it with the same sweep";
    }
    return "";
}

}  // namespace auralyn::impedance
