#include "analysis/tone_ends.h"

#include <algorithm>
#include <cmath>

#include "analysis/phase_steps.h"

namespace auralyn::analysis {
namespace {

// Tones after a long jump tried for its size (a loss may take several whole tones).
constexpr std::size_t kLaterTonesTried = 8;

}  // namespace

bool ToneEnds::validAt(std::size_t i, double samples, double loudest) const {
    return holdsTone(s_.tryBlock(i, movedBy(i, samples)), loudest);
}

double ToneEnds::edge(std::size_t i, double inner, double outer, double loudest) const {
    while (std::fabs(outer - inner) > 1.0) {
        const double middle = std::round(0.5 * (inner + outer));
        if (middle == inner || middle == outer) break;
        (validAt(i, middle, loudest) ? inner : outer) = middle;
    }
    return inner;
}

std::optional<ToneEnds::Range> ToneEnds::validShifts(std::size_t i) const {
    const double step = std::max(1.0, 0.25 * (s_.plan.settlingSamples() + std::max(0, s_.plan.driftSamples())));
    const double reach = kLongestJumpSeconds * rate();
    double loudest = 0.0, best = 0.0;
    bool any = false;
    for (double s = -reach; s <= reach; s += step) {
        const TrialBlock b = s_.tryBlock(i, movedBy(i, s));
        if (b.inside && b.steady && b.amplitude > loudest) {
            loudest = b.amplitude;
            best = s;
            any = true;
        }
    }
    if (!any) return std::nullopt;
    double low = best, high = best;
    while (low - step >= -reach && validAt(i, low - step, loudest)) low -= step;
    while (high + step <= reach && validAt(i, high + step, loudest)) high += step;
    return Range{edge(i, low, low - step, loudest), edge(i, high, high + step, loudest), loudest};
}

std::size_t ToneEnds::firstAfterJump(std::size_t anchor, std::size_t k, double laterEnd) const {
    std::size_t first = k;
    for (std::size_t h = k; h-- > anchor;) {
        const std::optional<Range> range = validShifts(h);
        if (!range) break;
        const double end = toneEnd(h, range->high);
        const bool later = std::fabs(end - laterEnd) < std::fabs(end) && std::fabs(end) > endTolerance(h);
        if (!later) break;
        first = h;
    }
    return first;
}

std::optional<double> ToneEnds::sizeFromLaterTones(std::size_t k, const Range& home, double homeEnd) const {
    std::optional<double> previous;
    std::size_t tried = 0;
    const std::size_t first = std::min(k + 1, usable() - 1);
    for (std::size_t j = first; j < usable() && tried < kLaterTonesTried; ++j, ++tried) {
        const std::optional<Range> moved = validShifts(j);
        // A room still ringing leaves its tones no steady place at all, or one
        // hard by the old; a jump moves the whole range its tones have.
        if (!moved || moved->width() < 0.5 * home.width() || moved->loudest < kLevelAfterJump * home.loudest ||
            (moved->low <= 0.0 && 0.0 <= moved->high))
            continue;
        const double samples = std::round(toneEnd(j, moved->high) - homeEnd);
        if (previous && std::fabs(samples - *previous) <= endTolerance(j) + endTolerance(j - 1)) return previous;
        previous = samples;
    }
    if (previous && first + 1 >= usable()) return previous;
    return std::nullopt;
}

double ToneEnds::toneEnd(std::size_t i, double highestShift) const {
    return highestShift - rate() / s_.tones[i].frequency;
}

std::optional<double> ToneEnds::highEdge(std::size_t i, double from, double reach, double loudest) const {
    double inner = from;
    for (double step = 1.0; step <= 2.0 * reach; step *= 2.0) {
        const double outer = from + step;
        if (!validAt(i, outer, loudest)) return edge(i, inner, outer, loudest);
        inner = outer;
    }
    return std::nullopt;
}

std::optional<double> ToneEnds::endsMoved(std::size_t earlier, std::size_t later, double reach) const {
    const TrialBlock before = s_.tryBlock(earlier, timeline_[earlier]);
    const TrialBlock after = s_.tryBlock(later, timeline_[later]);
    const double loudest = std::max(before.amplitude, after.amplitude);
    if (!holdsTone(before, loudest) || !holdsTone(after, loudest)) return std::nullopt;
    const std::optional<double> home = highEdge(earlier, 0.0, reach, loudest);
    const std::optional<double> moved = highEdge(later, 0.0, reach, loudest);
    if (!home || !moved) return std::nullopt;
    return std::round(toneEnd(later, *moved) - toneEnd(earlier, *home));
}

double ToneEnds::endTolerance(std::size_t i) const { return kLongestPhaseStep + 0.25 * rate() / s_.tones[i].frequency; }

}  // namespace auralyn::analysis
