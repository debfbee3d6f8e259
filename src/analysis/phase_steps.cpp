#include "analysis/phase_steps.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "analysis/angles.h"
#include "analysis/small_cholesky.h"

namespace auralyn::analysis {
namespace {

// Usable tones fitted on each side of a boundary, and the fewest taken.
constexpr std::size_t kSide = 4;
constexpr std::size_t kLeastBefore = 3;
constexpr std::size_t kLeastAfter = 2;
// A step must lower the weighted misfit by this much (chi-squared with one
// degree of freedom passes 40 about once in 4e9 on noise alone) ...
constexpr double kEvidence = 40.0;
// ... to a 25th of what it was (or of its degrees of freedom, where the
// quadratic fits to the noise), and the next best number of samples must
// leave at least four times the best one's misfit.
constexpr double kExplained = 25.0;
constexpr double kRunnerUp = 4.0;
// No phase is believed closer than this (radians): the arithmetic of the fits.
constexpr double kPhaseFloor = 1e-5;
constexpr int kMostSteps = 16;
// Long steps: usable tones fitted after the boundary, the fewest taken, and
// what their misfit must come down to.
constexpr std::size_t kLongAfter = 8;
constexpr std::size_t kLeastLongAfter = 6;
constexpr double kNoiseSigmas = 4.0;
constexpr double kLongExplained = 100.0;


// The tones of one boundary's window: positions in the list of usable tones.
struct Window {
    std::size_t from = 0, step = 0, to = 0;  // [from, to), the later ones from `step`
};

constexpr std::size_t kMostInWindow = kSide + kLongAfter;

// What a window's fit needs whatever the trial step: each tone's weight and
// frequency and the inverse of the normal equations of a quadratic in
// frequency, which depend on the tones alone (weighted least squares).
struct WindowFit {
    std::size_t n = 0, later = 0;  // tones, and the first of those after the step
    std::array<double, kMostInWindow> phase{}, weight{}, u{}, turnPerSample{};
    std::array<std::array<double, 3>, 3> inverse{};
    bool valid = false;
};

WindowFit windowFit(const std::vector<TonePhase>& tones, const std::vector<std::size_t>& usable, const Window& w,
                    double rate) {
    WindowFit f;
    f.n = std::min(w.to - w.from, kMostInWindow);
    f.later = w.step - w.from;
    const double reference = tones[usable[w.step]].frequency;
    SquareMatrix g{};
    for (std::size_t k = 0; k < f.n; ++k) {
        const TonePhase& t = tones[usable[w.from + k]];
        f.phase[k] = t.phase;
        f.weight[k] = 1.0 / (t.sd * t.sd + kPhaseFloor * kPhaseFloor);
        f.u[k] = t.frequency / reference - 1.0;
        f.turnPerSample[k] = 2.0 * kPi * t.frequency / rate;
        const double basis[3] = {1.0, f.u[k], f.u[k] * f.u[k]};
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) g[i][j] += f.weight[k] * basis[i] * basis[j];
        }
    }
    if (!choleskyFactor(g, 3)) return f;
    for (int column = 0; column < 3; ++column) {
        Vector unit{};
        unit[column] = 1.0;
        choleskySolve(g, 3, unit);
        for (int row = 0; row < 3; ++row) f.inverse[row][column] = unit[row];
    }
    f.valid = true;
    return f;
}

// The weighted misfit of a quadratic in frequency to the window's phases,
// those from the step on turned back by `samples`. Neighbouring phases are
// unwrapped against each other, which takes the response to turn by less than
// half a cycle from tone to tone.
double misfit(const WindowFit& f, double samples) {
    if (!f.valid) return 0.0;
    std::array<double, kMostInWindow> q{};
    double previous = 0.0;
    double b[3] = {0.0, 0.0, 0.0};
    for (std::size_t k = 0; k < f.n; ++k) {
        const double p = f.phase[k] + (k >= f.later ? f.turnPerSample[k] * samples : 0.0);
        q[k] = k == 0 ? p : q[k - 1] + wrappedRadians(p - previous);
        previous = p;
        const double wq = f.weight[k] * q[k];
        b[0] += wq;
        b[1] += wq * f.u[k];
        b[2] += wq * f.u[k] * f.u[k];
    }
    double c[3];
    for (int i = 0; i < 3; ++i) c[i] = f.inverse[i][0] * b[0] + f.inverse[i][1] * b[1] + f.inverse[i][2] * b[2];
    double chi2 = 0.0;
    for (std::size_t k = 0; k < f.n; ++k) {
        const double r = q[k] - (c[0] + c[1] * f.u[k] + c[2] * f.u[k] * f.u[k]);
        chi2 += f.weight[k] * r * r;
    }
    return chi2;
}

struct Candidate {
    std::size_t position = 0;  // in the usable list: the first tone after the step
    double samples = 0.0;
    double evidence = 0.0;
};

// The misfits of a window without a step, and with the best and the next best
// whole number of samples among those tried.
struct Trial {
    double none = 0.0, best = 0.0, second = 0.0, samples = 0.0;
};

Trial tryRange(const WindowFit& f, int least, int most) {
    Trial t;
    t.none = misfit(f, 0.0);
    t.best = t.second = t.none;
    for (int magnitude = least; magnitude <= most; ++magnitude) {
        for (const int d : {-magnitude, magnitude}) {
            const double chi2 = misfit(f, d);
            if (chi2 < t.best) {
                t.second = t.best;
                t.best = chi2;
                t.samples = d;
            } else {
                t.second = std::min(t.second, chi2);
            }
        }
    }
    return t;
}

std::optional<Candidate> shortStep(const std::vector<TonePhase>& tones, const std::vector<std::size_t>& usable,
                                   std::size_t p, double rate) {
    const Window w{p >= kSide ? p - kSide : 0, p, std::min(usable.size(), p + kSide)};
    if (w.step - w.from < kLeastBefore || w.to - w.step < kLeastAfter) return std::nullopt;
    const Trial t = tryRange(windowFit(tones, usable, w, rate), 1, kLongestPhaseStep);
    const double freedom = static_cast<double>(w.to - w.from) - 3.0;
    const double floor = std::max(t.best, freedom);
    if (t.samples == 0.0 || t.none - t.best < kEvidence || t.none < kExplained * floor || t.second < kRunnerUp * floor)
        return std::nullopt;
    return Candidate{p, t.samples, t.none - t.best};
}

// A long step is tried only where the window without one is misfitted as a
// short step must be, and taken where its misfit is at most what noise
// leaves (chi-squared within kNoiseSigmas of its degrees of freedom) or a
// hundredth of the misfit without it, and the next best number is no near rival.
std::optional<Candidate> longStep(const std::vector<TonePhase>& tones, const std::vector<std::size_t>& usable,
                                  std::size_t p, double rate, int longest) {
    if (longest <= kLongestPhaseStep) return std::nullopt;
    const Window w{p >= kSide ? p - kSide : 0, p, std::min(usable.size(), p + kLongAfter)};
    if (w.step - w.from < kLeastBefore || w.to - w.step < kLeastLongAfter) return std::nullopt;
    const double freedom = static_cast<double>(w.to - w.from) - 3.0;
    const WindowFit f = windowFit(tones, usable, w, rate);
    if (misfit(f, 0.0) < kExplained * std::max(freedom, kEvidence / kExplained)) return std::nullopt;
    const Trial t = tryRange(f, kLongestPhaseStep + 1, longest);
    const double noise = freedom + kNoiseSigmas * std::sqrt(2.0 * freedom);
    const bool fits = t.best <= noise || kLongExplained * t.best <= t.none;
    const double floor = std::max(t.best, freedom);
    if (t.samples == 0.0 || !fits || t.none - t.best < kEvidence || t.second < kRunnerUp * floor ||
        t.second - t.best < kEvidence)
        return std::nullopt;
    return Candidate{p, t.samples, t.none - t.best};
}

std::optional<Candidate> stepAt(const std::vector<TonePhase>& tones, const std::vector<std::size_t>& usable,
                                std::size_t p, double rate, int longest) {
    const std::optional<Candidate> near = shortStep(tones, usable, p, rate);
    const std::optional<Candidate> far = longStep(tones, usable, p, rate, longest);
    if (near && far) return near->evidence >= far->evidence ? near : far;
    return near ? near : far;
}

// The strongest candidate among those whose windows overlap the earliest
// one's: a step leaves the windows around it all misfitted, its own the
// most, and spoils the unwrapping of the tones after it, where it must be
// taken out before they are judged.
std::optional<Candidate> earliestStep(const std::vector<std::optional<Candidate>>& candidates) {
    std::optional<Candidate> c;
    for (const std::optional<Candidate>& candidate : candidates) {
        if (!candidate) continue;
        if (c && candidate->position > c->position + kSide + kLongAfter) break;
        if (!c || candidate->evidence > c->evidence) c = candidate;
    }
    return c;
}

// A later round may take back what an earlier one took at the same
// boundary (a step of +5 samples, then -5 where the first was the misfit of
// a rough response) or add to it: one boundary holds one step, their sum,
// and none where they cancel. `steps` come sorted by tone.
std::vector<PhaseStep> oneStepPerBoundary(const std::vector<PhaseStep>& steps) {
    std::vector<PhaseStep> merged;
    for (const PhaseStep& step : steps) {
        if (!merged.empty() && merged.back().tone == step.tone) {
            merged.back().samples += step.samples;
        } else {
            merged.push_back(step);
        }
    }
    std::erase_if(merged, [](const PhaseStep& step) { return step.samples == 0.0; });
    return merged;
}

}  // namespace

std::vector<PhaseStep> findPhaseSteps(const std::vector<TonePhase>& input, double rate, int longest) {
    std::vector<TonePhase> tones = input;
    std::vector<std::size_t> usable;
    for (std::size_t i = 0; i < tones.size(); ++i) {
        if (tones[i].usable && std::isfinite(tones[i].phase) && std::isfinite(tones[i].sd)) usable.push_back(i);
    }
    // Each boundary's best step, tried again after a step taken out wherever
    // that turned its tones: the tones wholly after a step are turned by a line
    // in frequency, which their fit would take up unchanged but for the
    // unwrapping of neighbours a long step spoils.
    std::vector<std::optional<Candidate>> candidates(usable.size());
    for (std::size_t p = 1; p < usable.size(); ++p) candidates[p] = stepAt(tones, usable, p, rate, longest);
    std::vector<PhaseStep> steps;
    for (int round = 0; round < kMostSteps; ++round) {
        const std::optional<Candidate> c = earliestStep(candidates);
        if (!c) break;
        // The later tones turned back, so that the next round sees the recording without this step.
        for (std::size_t k = c->position; k < usable.size(); ++k) {
            TonePhase& t = tones[usable[k]];
            t.phase = wrappedRadians(t.phase + 2.0 * kPi * t.frequency * c->samples / rate);
        }
        steps.push_back({usable[c->position - 1] + 1, c->samples});
        const std::size_t from = c->position > kLongAfter + 1 ? c->position - kLongAfter - 1 : 1;
        for (std::size_t p = from; p < usable.size(); ++p) candidates[p] = stepAt(tones, usable, p, rate, longest);
    }
    std::sort(steps.begin(), steps.end(), [](const PhaseStep& a, const PhaseStep& b) { return a.tone < b.tone; });
    return oneStepPerBoundary(steps);
}

}  // namespace auralyn::analysis
