#include "analysis/tone_arrivals.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

#include "analysis/angles.h"
#include "analysis/sweep_origin.h"

namespace auralyn::analysis {
namespace {

// An arrival no surer than this (samples, one sigma) moves nothing: three
// sigmas of it still leave most of the guard before the next tone.
constexpr double kMaxArrivalSigma = 6.0;
// Between neighbours the phase turns by what the last arrival predicts and
// little more: a turn beyond a quarter cycle may be a whole cycle off.
constexpr double kMaxTurn = 0.5 * kPi;
// The guard a block keeps before the next tone (tone_layout.cpp).
constexpr double kNextToneGuard = 48.0;

// One tone's phase at the common placement, its frequency in radians per
// recording sample; unusable where it lies near or below the noise.
struct PlacedPhase {
    bool usable = false;
    double omega = 0.0;
    double phase = 0.0;
    double sigma = 0.0;
};

std::vector<PlacedPhase> placedPhases(const std::vector<ClockCorrectedTone>& fitted, double trigger, double rate) {
    std::vector<PlacedPhase> phases;
    phases.reserve(fitted.size());
    for (const ClockCorrectedTone& tone : fitted) {
        const std::optional<StartPhase> p = tonePhase(tone, trigger, rate);
        phases.push_back(p ? PlacedPhase{true, kTwoPi * p->cyclesPerSample, p->phase, p->sigma} : PlacedPhase{});
    }
    return phases;
}

// Tone k's arrival after the common placement, recording samples: the
// device's group delay there, -d phase / d omega (Oppenheim & Schafer), less
// the delay that placement took for the whole sweep, each tone's phase being
// referred to its own block's start. Taken by the central difference of its
// neighbours' phases (one-sided at a gap), unwrapped about `prior`, the last
// tone's arrival: a device's delay changes little from one tone to the next,
// while the phase turns between high tones by more than a cycle per few tens
// of samples of delay.
std::optional<double> arrivalAt(const std::vector<PlacedPhase>& phases, std::size_t k, double prior) {
    if (!phases[k].usable) return std::nullopt;
    const std::size_t a = k > 0 && phases[k - 1].usable ? k - 1 : k;
    const std::size_t b = k + 1 < phases.size() && phases[k + 1].usable ? k + 1 : k;
    if (a == b) return std::nullopt;
    const double dOmega = phases[b].omega - phases[a].omega;
    if (!(std::fabs(dOmega) > 0.0)) return std::nullopt;
    const double turn = wrappedRadians(phases[b].phase - phases[a].phase + dOmega * prior);
    if (!(std::fabs(turn) <= kMaxTurn)) return std::nullopt;
    if (!(std::hypot(phases[a].sigma, phases[b].sigma) / std::fabs(dOmega) <= kMaxArrivalSigma)) return std::nullopt;
    return prior - turn / dOmega;
}

// The arrivals of the tones in order, each unwrapped about the last found
// (the first about the common placement).
std::vector<std::optional<double>> arrivals(const std::vector<PlacedPhase>& phases) {
    std::vector<std::optional<double>> found(phases.size());
    double prior = 0.0;
    for (std::size_t k = 0; k < phases.size(); ++k) {
        found[k] = arrivalAt(phases, k, prior);
        if (found[k]) prior = *found[k];
    }
    return found;
}

// A device's delay changes gradually with frequency: a second-order section
// of Q near 1 changes its group delay by about 1 / omega per unit of ln f,
// and kSteepestDelaySlope allows four times that; kArrivalNoiseFloor allows
// for the arrivals' own noise (three sigmas of two of them). A step beyond
// both between tones whose arrivals were found is the recording's timing
// jumping (a stall or a loss between two blocks), which the jump search
// names and repairs: no block is moved to follow it.
constexpr double kSteepestDelaySlope = 4.0;
constexpr double kArrivalNoiseFloor = 3.0 * std::numbers::sqrt2 * kMaxArrivalSigma;

bool gradual(const PlacedPhase& a, double arrivalA, const PlacedPhase& b, double arrivalB) {
    const double lower = std::min(a.omega, b.omega);
    const double allowed = kArrivalNoiseFloor + kSteepestDelaySlope * std::fabs(std::log(b.omega / a.omega)) / lower;
    return std::fabs(arrivalB - arrivalA) <= allowed;
}

bool steppedAnywhere(const std::vector<PlacedPhase>& phases, const std::vector<std::optional<double>>& found) {
    std::optional<std::size_t> last;
    for (std::size_t k = 0; k < found.size(); ++k) {
        if (!found[k]) continue;
        if (last && !gradual(phases[*last], *found[*last], phases[k], *found[k])) return true;
        last = k;
    }
    return false;
}

// The block taken at the tone's own arrival, kept inside its tone's steady
// part: after the settling from where the previous tone's end arrives, and
// the guard before where the next tone's start arrives (a neighbour whose
// arrival is unknown is taken to arrive with this tone). Where the arrivals
// change faster than the block's room allows, it lies midway.
double clampedLead(const NominalTone& tone, double arrival, std::optional<double> before, std::optional<double> after) {
    const double slack = std::max(0.0, static_cast<double>(tone.toneEnd - tone.blockOffset - tone.length) - kNextToneGuard);
    const double lower = std::max(arrival, before.value_or(arrival));
    const double upper = std::min(arrival, after.value_or(arrival)) + slack;
    if (lower > upper) return 0.5 * (lower + upper);
    return std::clamp(arrival, lower, upper);
}

}  // namespace

std::vector<double> toneLeads(const std::vector<ClockCorrectedTone>& fitted, const std::vector<NominalTone>& nominal,
                              double trigger, double rate) {
    std::vector<PlacedPhase> phases = placedPhases(fitted, trigger, rate);
    phases.resize(std::min(phases.size(), nominal.size()));
    const std::vector<std::optional<double>> found = arrivals(phases);
    const std::size_t count = found.size();
    if (steppedAnywhere(phases, found)) return {};
    std::vector<double> leads(nominal.size(), 0.0);
    bool moved = false;
    for (std::size_t k = 0; k < count; ++k) {
        if (!found[k] || std::fabs(*found[k]) <= kToleratedSlip) continue;
        const std::optional<double> before = k > 0 ? found[k - 1] : std::nullopt;
        const std::optional<double> after = k + 1 < count ? found[k + 1] : std::nullopt;
        const double lead = clampedLead(nominal[k], *found[k], before, after);
        leads[k] = lead - std::clamp(lead, -kToleratedSlip, kToleratedSlip);
        moved = moved || leads[k] != 0.0;
    }
    if (!moved) leads.clear();
    return leads;
}

std::vector<NominalTone> withLeads(std::vector<NominalTone> nominal, const std::vector<double>& leads) {
    for (std::size_t k = 0; k < nominal.size() && k < leads.size(); ++k) nominal[k].blockLead = leads[k];
    return nominal;
}

}  // namespace auralyn::analysis
