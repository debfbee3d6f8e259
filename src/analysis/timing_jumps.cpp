#include "analysis/timing_jumps.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "analysis/phase_steps.h"
#include "analysis/recording_pulse.h"
#include "analysis/tone_ends.h"
#include "sweep/sweep_layout.h"

namespace auralyn::analysis {
namespace {

constexpr double kPi = 3.14159265358979323846;
// A jump that turns a tone's phase by less than this leaves its measurement as it was.
constexpr double kNegligibleDegrees = 0.05;
// Unsteady tones in a row that the tones alone take for a jump, after at
// least this many steady ones, with at least this share unsteady to the end.
constexpr std::size_t kUnsteadyRun = 3;
constexpr std::size_t kSteadyBefore = 1;
constexpr double kUnsteadyShare = 0.8;
// A pulse found away from its place differs from the first by at most this share of its level.
constexpr double kPulseLikeness = 0.25;
// Pulses are searched away from their place only after this much silence (samples).
constexpr std::int32_t kLeastSilence = 32;
// Unsteady tones tested for a jump that left the tones after them steady.
constexpr std::size_t kMostHiddenTrials = 16;

enum class Side { Before, After, Holds, Either };

class Search {
public:
    Search(const JumpSearch& s, std::vector<ToneTiming>& timeline) : s_(s), timeline_(timeline) {}

    std::vector<TimingJump> run() {
        std::size_t anchor = 0;
        for (std::size_t i = 1; i < usable(); ++i) {
            if (!s_.tones[i].syncBefore) continue;
            anchor_ = anchor;
            const std::optional<double> moved = pulseMoved(i);
            if (!moved) continue;
            if (*moved != 0.0) resolveSpan(anchor, i, *moved);
            anchor = i;
        }
        if (!searchTail(anchor)) searchWithinSettling(anchor);
        return jumps_;
    }

    // Low tones, whose blocks a short jump leaves inside their tone, hold
    // steady at either place: the first tone that tells decides. One steady
    // at neither, followed by one steady only at the later place, holds the
    // jump, and those before it lie before the jump, where the pulse puts
    // them; the first tone may hold it (the pulse then lies before it and
    // the tail search finds it from the pulse on). A later pulse found
    // where the first puts it, among tones steady at both, sides with it too.
    bool sidesWithPulse(double samples) {
        bool pulseInPlace = false;
        for (std::size_t j = 0; j < usable(); ++j) {
            const Side side = sideOf(j, samples);
            if (side == Side::Before) return true;
            if (side == Side::Holds) return j + 1 < usable() && sideOf(j + 1, samples) == Side::After;
            if (side == Side::After) return pulseInPlace;
            pulseInPlace = pulseInPlace || (j > 0 && s_.tones[j].syncBefore && pulseMoved(j) == 0.0);
        }
        return false;
    }

    // The first tone steady only at the later place, where every tone before
    // it holds steady at both: empty where another tone tells first.
    std::optional<std::size_t> firstOnlyAtLaterPlace(double samples) const {
        for (std::size_t j = 0; j < usable(); ++j) {
            const Side side = sideOf(j, samples);
            if (side == Side::After) return j;
            if (side != Side::Either) return std::nullopt;
        }
        return std::nullopt;
    }

private:
    std::size_t usable() const { return std::min(s_.tones.size(), timeline_.size()); }
    double rate() const { return s_.plan.params().sampleRate; }

    ToneTiming movedBy(std::size_t i, double samples) const { return shiftedBy(timeline_[i], samples); }

    // How far (whole samples) the pulse before tone i lies from where the
    // timeline puts it: 0 when in place, empty when it was not found.
    std::optional<double> pulseMoved(std::size_t i) {
        // Without a silence before it a pulse cannot be told from the tone before it.
        if (sweep::syncSettlingSamples(s_.plan.params()) < kLeastSilence) return std::nullopt;
        const NominalTone& tone = s_.tones[i];
        const double predicted = pulseOnTimeline(tone, static_cast<double>(s_.trigger), timeline_[i]);
        // A loss brings the pulse early by as much: it is searched back as far
        // as forward, up to half the distance from the pulse before.
        double back = kLongestJumpSeconds * rate();
        for (std::size_t j = i; j-- > 0;) {
            if (!s_.tones[j].syncBefore) continue;
            back = std::min(back, 0.5 * static_cast<double>(tone.pulseOffset - s_.tones[j].pulseOffset));
            break;
        }
        back = std::max(back, 0.5 * sweep::syncSettlingSamples(s_.plan.params()));
        double forward = kLongestJumpSeconds * rate();
        for (std::size_t j = i + 1; j < s_.tones.size(); ++j) {
            if (!s_.tones[j].syncBefore) continue;
            forward = std::min(forward, 0.5 * static_cast<double>(s_.tones[j].pulseOffset - tone.pulseOffset));
            break;
        }
        const auto from = static_cast<std::int64_t>(std::floor(predicted - back));
        const auto to = static_cast<std::int64_t>(std::ceil(predicted + std::max(forward, back)));
        const auto found = quietTrigger(std::max<std::int64_t>(0, from), to);
        if (!found) return std::nullopt;
        const double off = static_cast<double>(*found) - predicted;
        const double tolerance = 1.0 + s_.clockU95Ppm * 1e-6 * static_cast<double>(tone.pulseOffset);
        if (std::fabs(off) <= tolerance) return 0.0;
        // Something that looks like a pulse where none is due (a tone resuming
        // after a dropout's silence) is taken only if it has the first pulse's
        // shape and the tone after it then stands steady where it says.
        if (!likeTheFirstPulse(*found)) return std::nullopt;
        const TrialBlock after = s_.tryBlock(i, movedBy(i, std::round(off)));
        if (!holdsTone(after, std::max(after.amplitude, s_.tryBlock(i, timeline_[i]).amplitude))) return std::nullopt;
        // A loss of more than half the distance between two pulses brings the
        // next pulse within reach, late by what is left of that distance: the
        // tone's block there lies in another tone, whose frequency fits it
        // as a tiny, steady nothing, as it does at the old place.
        if (after.amplitude < kLevelAfterJump * levelHeldBefore(i)) return std::nullopt;
        return std::round(off);
    }

    // The level of the nearest steady tone before tone i: one that lies
    // before any jump after the pulse before tone i. 0 where none is.
    double levelBefore(std::size_t i) const {
        for (std::size_t j = i; j > 0; --j) {
            const TrialBlock b = s_.tryBlock(j - 1, timeline_[j - 1]);
            if (b.inside && b.steady) return b.amplitude;
        }
        return 0.0;
    }

    // The level of the last tone held at its place since the last pulse
    // found in place, from the level before it (levelBefore) on, each taken
    // as held only near the level of the one held before it (as unsteadyRun
    // takes them): 0 where none was.
    double levelHeldBefore(std::size_t i) const {
        const std::size_t from = std::min(anchor_, i);
        double level = levelBefore(from);
        for (std::size_t j = from; j < i; ++j) {
            const TrialBlock b = s_.tryBlock(j, timeline_[j]);
            if (b.inside && b.steady && b.amplitude >= kLevelAfterJump * level) level = b.amplitude;
        }
        return level;
    }

    // A pulse follows the silence the layout puts before it: a trigger with
    // anything near its level in the half of that silence before it is a tone
    // (a low one at full scale holds its level as long as a pulse does), and
    // no pulse can start within that half-silence of a loud sample.
    std::optional<std::int64_t> quietTrigger(std::int64_t from, std::int64_t to) const {
        const std::int64_t quiet = std::max(1, sweep::syncSettlingSamples(s_.plan.params()) / 2);
        while (from < to) {
            const auto found = findTrigger(s_.plan, s_.recording, from, to);
            if (!found) return std::nullopt;
            const double level = std::fabs(s_.recording[static_cast<std::size_t>(*found)]);
            std::int64_t loud = -1;
            for (std::int64_t n = std::max<std::int64_t>(0, *found - quiet); n < *found; ++n) {
                if (2.0 * std::fabs(s_.recording[static_cast<std::size_t>(n)]) >= level) loud = n;
            }
            if (loud < 0) return found;
            from = std::max(*found + 1, loud + quiet + 1);
        }
        return std::nullopt;
    }

    // The samples of the pulse at `trigger` against those of the first
    // pulse, as this recording holds them: within a quarter of its level.
    bool likeTheFirstPulse(std::int64_t trigger) const {
        const std::int64_t length = std::max(1, sweep::syncPulseSamples(s_.plan.params()));
        const auto size = static_cast<std::int64_t>(s_.recording.size());
        if (trigger + length > size || s_.trigger + length > size) return false;
        double difference = 0.0, level = 0.0;
        for (std::int64_t n = 0; n < length; ++n) {
            const double first = s_.recording[static_cast<std::size_t>(s_.trigger + n)];
            difference += std::fabs(s_.recording[static_cast<std::size_t>(trigger + n)] - first);
            level += std::fabs(first);
        }
        return difference <= kPulseLikeness * level;
    }

    bool negligible(std::size_t i, double samples) const {
        const double turn = 2.0 * kPi * s_.tones[i].frequency * samples / rate();
        return std::fabs(std::remainder(turn, 2.0 * kPi)) * 180.0 / kPi < kNegligibleDegrees;
    }

    // A block is taken as the tone's only where it is steady and holds the
    // tone at its level: a block wholly in another tone fits a tiny, steady nothing.
    Side sideOf(std::size_t i, double samples) const {
        const TrialBlock there = s_.tryBlock(i, timeline_[i]);
        const TrialBlock moved = s_.tryBlock(i, movedBy(i, samples));
        const double loudest = std::max(there.amplitude, moved.amplitude);
        const bool old = holdsTone(there, loudest);
        const bool now = holdsTone(moved, loudest);
        return sideFrom(old, now);
    }

    static Side sideFrom(bool old, bool moved) {
        if (old && !moved) return Side::Before;
        if (!old && moved) return Side::After;
        return old ? Side::Either : Side::Holds;
    }

    // A pulse before tone `pulse` found `samples` from its place: the jump
    // lies among the tones [from, pulse), which are placed accordingly, and
    // moves every tone from the pulse on. Gives the first tone after it
    // (`pulse` where none of them is).
    std::size_t resolveSpan(std::size_t from, std::size_t pulse, double samples) {
        std::vector<Side> sides;
        for (std::size_t j = from; j < pulse; ++j) sides.push_back(sideOf(j, samples));
        std::size_t first = pulse;
        for (std::size_t j = from; j < pulse && first == pulse; ++j) {
            const Side side = sides[j - from];
            if (side == Side::After || side == Side::Holds || (side == Side::Either && !negligible(j, samples))) first = j;
        }
        record(first, samples, true);
        // A tone that cannot tell which side it lies on comes after the jump
        // once a tone before it was seen after it or holding it.
        bool seen = false;
        for (std::size_t j = first; j < pulse; ++j) {
            const Side side = sides[j - from];
            const bool either = side == Side::Either;
            if (side == Side::After || (either && (seen || negligible(j, samples)))) timeline_[j].shift += samples;
            if (either && !seen && !negligible(j, samples)) timeline_[j].placed = false;
            seen = seen || side == Side::After || side == Side::Holds;
        }
        for (std::size_t j = pulse; j < timeline_.size(); ++j) timeline_[j].shift += samples;
        return first;
    }

    void record(std::size_t tone, double samples, bool exact) {
        const std::size_t at = std::min(tone, usable() - 1);
        TimingJump jump;
        jump.tone = s_.tones[at].index;
        const BlockPlacement place = placeOnTimeline(s_.tones[at], static_cast<double>(s_.trigger), timeline_[at]);
        jump.seconds = place.start / rate();
        jump.sample = place.first;
        jump.samples = samples;
        jump.exact = exact;
        notePulsesAfter(s_.tones, at, jump);
        jumps_.push_back(jump);
    }

    // The first tone of a run of unsteady ones that lasts to the end, after
    // steady ones: where the tones alone say the timing jumped.
    std::optional<std::size_t> unsteadyRun(std::size_t anchor) const {
        std::vector<bool> steady;
        double level = levelBefore(anchor);  // of the last tone held
        bool noneHeld = level == 0.0;
        for (std::size_t j = anchor; j < usable(); ++j) {
            const TrialBlock b = s_.tryBlock(j, timeline_[j]);
            if (!b.inside) break;
            // A block that a jump moved wholly into another tone fits a tiny,
            // steady nothing: that is no tone held.
            const bool held = b.steady && b.amplitude >= kLevelAfterJump * level;
            if (held) level = b.amplitude;
            // With no tone held before, the blocks up to the first held hold
            // their tones at up to about their level (one a jump cut holds
            // less of it, never more): the loudest is the first measure of it.
            if (noneHeld && !held) level = std::max(level, b.amplitude);
            noneHeld = noneHeld && !held;
            steady.push_back(held);
        }
        // The pulse the search starts from is in place: a run may begin right after it.
        std::size_t steadySeen = kSteadyBefore;
        for (std::size_t k = 0; k < steady.size(); ++k) {
            if (steady[k]) {
                ++steadySeen;
                continue;
            }
            if (steadySeen < kSteadyBefore || k + kUnsteadyRun > steady.size()) return std::nullopt;
            const auto unsteady = static_cast<double>(std::count(steady.begin() + static_cast<std::ptrdiff_t>(k), steady.end(), false));
            const bool run = std::none_of(steady.begin() + static_cast<std::ptrdiff_t>(k),
                                          steady.begin() + static_cast<std::ptrdiff_t>(k + kUnsteadyRun),
                                          [](bool s) { return s; });
            if (run && unsteady >= kUnsteadyShare * static_cast<double>(steady.size() - k)) return anchor + k;
        }
        return std::nullopt;
    }

    bool searchTail(std::size_t anchor) {
        const std::optional<std::size_t> start = unsteadyRun(anchor);
        if (!start) return false;
        const std::size_t k = *start;
        // A run from the first tone on: its block, at its place after the
        // first pulse, ends where the layout puts it (toneEnd near 0).
        const std::optional<ToneEnds::Range> home = k > 0 ? ends_.validShifts(k - 1) : ToneEnds::Range{};
        if (!home) return false;
        const double homeEnd = k > 0 ? ends_.toneEnd(k - 1, home->high) : 0.0;
        const std::optional<double> samples = ends_.sizeFromLaterTones(k, *home, homeEnd);
        if (!samples) return false;
        const double laterEnd = homeEnd + *samples;
        const std::size_t first = ends_.firstAfterJump(anchor, k, laterEnd);
        record(first, first == k ? *samples : std::round(laterEnd), false);
        // A jump in the first tone (or before its block) leaves every tone
        // after it on one time base, which they give themselves: their phases
        // are referred to the start they put (recording_origin.h), and a size
        // a few samples off moves that start with them. Only later jumps part
        // tones whose time bases the size alone would join, and so do later
        // pulses, which the size left a few samples off would misplace.
        if (first == 0 && !laterPulses()) {
            jumps_.back().beforeOtherTones = true;
            return true;
        }
        unplaceFrom(first);
        return true;
    }

    bool laterPulses() const {
        return std::any_of(s_.tones.begin() + 1, s_.tones.end(), [](const NominalTone& t) { return t.syncBefore; });
    }

    void unplaceFrom(std::size_t k) {
        for (std::size_t j = k; j < timeline_.size(); ++j) timeline_[j].placed = false;
    }

    // A jump shorter than the settling time, late, or early by less than the
    // drift allowance, leaves every later block inside its own tone: only the
    // tone that holds it is unsteady, and the tones after it are steady but
    // turned by 2 pi f n / R. For each unsteady tone between steady ones the
    // ends of its neighbours' tones tell (toneEnd): a jump moves the later
    // ones' by its size. Two pairs of neighbours (the nearest, and the next
    // on either side) must both show it, and agree; sizes within what the
    // phases resolve (phase_steps.h) or the ends' own doubt are left alone.
    // The size is had to a few samples only, which gives no phase: the tones
    // from it on are left unplaced.
    void searchWithinSettling(std::size_t anchor) {
        const double reach = s_.plan.settlingSamples() + std::max(0, s_.plan.driftSamples()) + kLongestPhaseStep;
        std::size_t tried = 0;
        for (std::size_t k = std::max<std::size_t>(anchor, 2); k + 2 < usable() && tried < kMostHiddenTrials; ++k) {
            const TrialBlock at = s_.tryBlock(k, timeline_[k]);
            if (!at.inside || at.steady) continue;
            ++tried;
            const std::optional<double> near = ends_.endsMoved(k - 1, k + 1, reach);
            if (!near) continue;
            const double tolerance = std::max(ends_.endTolerance(k - 2), ends_.endTolerance(k - 1));
            if (std::fabs(*near) <= tolerance) continue;
            const std::optional<double> far = ends_.endsMoved(k - 2, k + 2, reach);
            if (!far || std::fabs(*far - *near) > tolerance) continue;
            record(k, *near, false);
            unplaceFrom(k);
            return;
        }
    }

    const JumpSearch& s_;
    std::vector<ToneTiming>& timeline_;
    ToneEnds ends_{s_, timeline_};
    std::vector<TimingJump> jumps_;
    std::size_t anchor_ = 0;  // the tone after the last pulse found in place
};

}  // namespace

std::vector<TimingJump> findJumps(const JumpSearch& search, std::vector<ToneTiming>& timeline) {
    if (search.tones.empty() || timeline.empty() || !search.tryBlock) return {};
    return Search(search, timeline).run();
}

void notePulsesAfter(const std::vector<NominalTone>& tones, std::size_t at, TimingJump& jump) {
    const auto pulse = [](const NominalTone& t) { return t.syncBefore; };
    jump.sweepHasPulses = tones.size() > 1 && std::any_of(tones.begin() + 1, tones.end(), pulse);
    jump.pulseAfter = at + 1 < tones.size() && std::any_of(tones.begin() + static_cast<std::ptrdiff_t>(at + 1), tones.end(), pulse);
}

std::optional<std::size_t> firstToneOnlyAfter(const JumpSearch& search, double samples,
                                              std::vector<ToneTiming> timeline) {
    if (search.tones.empty() || timeline.empty() || !search.tryBlock) return std::nullopt;
    return Search(search, timeline).firstOnlyAtLaterPlace(samples);
}

bool firstTonesSideWithPulse(const JumpSearch& search, double samples, std::vector<ToneTiming> timeline) {
    if (search.tones.empty() || timeline.empty() || !search.tryBlock) return false;
    return Search(search, timeline).sidesWithPulse(samples);
}

}  // namespace auralyn::analysis
