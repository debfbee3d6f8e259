#include "measurer/sync_search.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <vector>

#include "sweep/sweep_layout.h"

namespace auralyn::measurer {
namespace {

std::int32_t magnitude(std::int16_t sample) { return std::abs(static_cast<std::int32_t>(sample)); }

// The samples read since the search began, indexed from its first; only the
// stretch that a candidate's checks can still look at is kept.
class SearchedSamples {
public:
    SearchedSamples(wave::WaveFile& recording, std::int64_t keep) : recording_(recording), keep_(keep) {}

    // False when the recording ends before sample `index` could be read.
    bool reach(std::int64_t index) {
        while (end() <= index) {
            std::int16_t sample = 0;
            if (!recording_.readSample(&sample)) return false;
            samples_.push_back(sample);
        }
        return true;
    }
    std::int16_t operator[](std::int64_t index) const { return samples_[static_cast<std::size_t>(index - first_)]; }
    std::int64_t first() const { return first_; }
    std::int64_t end() const { return first_ + static_cast<std::int64_t>(samples_.size()); }

    // Forgets what lies more than `keep` samples before `index`.
    void forgetBefore(std::int64_t index) {
        constexpr std::int64_t kSlack = 1 << 14;
        const std::int64_t drop = index - keep_ - first_;
        if (drop < kSlack) return;
        samples_.erase(samples_.begin(), samples_.begin() + static_cast<std::ptrdiff_t>(drop));
        first_ += drop;
    }

private:
    wave::WaveFile& recording_;
    std::int64_t keep_;
    std::int64_t first_ = 0;
    std::vector<std::int16_t> samples_;
};

// Samples held in memory, seen as the search sees what it has read: from the
// search's first sample on.
// Finer samples are judged as the 16-bit codes they round to.
std::int16_t code(std::int16_t sample) { return sample; }
std::int16_t code(float sample) {
    const float rounded = std::nearbyint(sample);
    return static_cast<std::int16_t>(rounded >= 32767.0f ? 32767.0f : rounded <= -32768.0f ? -32768.0f : rounded);
}

template <typename T>
class HeldSamples {
public:
    HeldSamples(const T* samples, std::int64_t first) : samples_(samples), first_(first) {}
    std::int16_t operator[](std::int64_t index) const { return code(samples_[index]); }
    std::int64_t first() const { return first_; }

private:
    const T* samples_;
    std::int64_t first_;
};

// What the layout lets a pulse be told apart from a tone by. The generator
// writes silence before every pulse (the settling and drift silences) and the
// pulse as a level lasting `length` samples. A tone that climbs past the
// threshold is not silent just before: a slow one climbs for longer than a
// device smears a pulse's rise, a fast one swings through the window of
// silence, and one that starts on the threshold has the missed pulse, nearly
// as loud, right before it. Silence is below a quarter of the threshold, or
// below a sixth of a loud candidate's level, so that a resampler's ringing
// ahead of a loud pulse and noise far below the threshold still count as
// silence. The window is wider than the band a tone that rises within the
// allowance spends below that level, so no tone passes both checks.
struct PulseShape {
    std::int32_t threshold = 0;
    std::int32_t length = 1;  // the pulse's samples
    std::int32_t held = 1;    // of those, the ones looked at
    std::int32_t look = 3;    // samples from the trigger on that give the pulse's level
    std::int32_t rise = 0;    // samples ahead of the trigger where a device may have begun the pulse
    std::int32_t window = 0;  // silent samples demanded before those
};

PulseShape pulseShape(const sweep::SweepParameters& p) {
    PulseShape shape;
    shape.threshold = static_cast<std::int16_t>(sweep::percentToAmplitude(p.syncThreshold));
    shape.length = std::max<std::int32_t>(sweep::syncPulseSamples(p), 1);
    // A hostile pulse length must not make every candidate cost that much.
    constexpr std::int32_t kLongestLook = 64;
    shape.held = std::min(shape.length, kLongestLook);
    // Through a smearing device (a clock resampler, an all-pass) a pulse of a
    // sample or two reaches its peak a sample or two after the trigger, and
    // climbs for up to five samples before it.
    shape.look = std::max(shape.held, 3);
    shape.rise = std::max(shape.held - 1, 5);
    shape.window = std::max(shape.held, shape.rise) + 2;
    return shape;
}

// A pulse written below the threshold is found only through a device whose gain
// lifts it past the threshold, which clips every tone: no sample such a
// recording holds can be trusted as the pulse (a tone would be taken instead).
bool pulseCanBeFound(const sweep::SweepParameters& p, const PulseShape& shape) {
    return shape.threshold < 4 || sweep::percentToAmplitude(p.syncPulseLevel) >= shape.threshold;
}

template <typename Samples>
std::int32_t largestMagnitude(const Samples& seen, std::int64_t from, std::int64_t to) {
    std::int32_t level = 0;
    for (std::int64_t i = from; i < to; ++i) level = std::max(level, magnitude(seen[i]));
    return level;
}

// The window of silence ends where a device may already have begun the pulse's
// rise (or a swing ahead of it); it reaches back as far as the samples read.
template <typename Samples>
bool risesOutOfSilence(const Samples& seen, std::int64_t trigger, std::int32_t quiet, const PulseShape& shape) {
    const std::int64_t end = trigger - shape.rise;
    for (std::int64_t i = std::max(seen.first(), end - shape.window); i < end; ++i) {
        if (magnitude(seen[i]) >= quiet) return false;
    }
    return true;
}

// A click falls back into silence at once; a pulse is still there after its
// trigger sample, even where a device with a phase response (an all-pass, a
// high-pass) turns it into a swing that changes sign within the pulse.
template <typename Samples>
bool outlastsAClick(const Samples& seen, std::int64_t trigger, std::int32_t quiet, const PulseShape& shape) {
    if (shape.held == 1) return true;
    for (std::int64_t i = trigger + 1; i < trigger + shape.held; ++i) {
        if (magnitude(seen[i]) >= quiet) return true;
    }
    return false;
}

// A device smears a pulse's rise into one swing that grows up to the trigger (a
// resampler's ringing ahead of it alternates in sign, but grows too). A pulse
// missed just below the threshold, with the tone behind it reaching it, falls
// back in between: the tone begins low after the pulse's level. Falling to
// less than two thirds of the rise so far marks that.
template <typename Samples>
bool risesWithoutFallingBack(const Samples& seen, std::int64_t trigger, std::int32_t quiet,
                             const PulseShape& shape) {
    std::int32_t highest = 0;
    for (std::int64_t i = std::max(seen.first(), trigger - shape.rise); i < trigger; ++i) {
        const std::int32_t level = magnitude(seen[i]);
        if (highest >= quiet && 3 * level < 2 * highest) return false;
        highest = std::max(highest, level);
    }
    return true;
}

template <typename Samples>
bool looksLikeAPulse(const Samples& seen, std::int64_t trigger, const PulseShape& shape) {
    const std::int32_t quiet = std::max(shape.threshold / 4, largestMagnitude(seen, trigger, trigger + shape.look) / 6);
    return risesOutOfSilence(seen, trigger, quiet, shape) && outlastsAClick(seen, trigger, quiet, shape) &&
           risesWithoutFallingBack(seen, trigger, quiet, shape);
}

}  // namespace

bool findSyncPulse(const sweep::SweepPlan& plan, wave::WaveFile& recording, std::int32_t silence) {
    const PulseShape shape = pulseShape(plan.params());
    if (!pulseCanBeFound(plan.params(), shape)) return false;
    SearchedSamples seen(recording, shape.window + shape.rise);
    if (silence > 0 && !seen.reach(silence - 1)) return false;
    // Below 4 there is no level between silence and the threshold: the first
    // sample that reaches it is the pulse.
    const bool checkShape = shape.threshold >= 4;
    for (std::int64_t trigger = silence > 0 ? silence : 0;; ++trigger) {
        seen.forgetBefore(trigger);
        if (!seen.reach(trigger)) return false;
        if (magnitude(seen[trigger]) < shape.threshold) continue;
        if (!seen.reach(trigger + shape.look - 1)) return false;
        if (checkShape && !looksLikeAPulse(seen, trigger, shape)) continue;
        // The trigger sample is the pulse's first as the search counts it; the
        // position is left just past a pulse of its length that begins there
        // (a step back over what was looked at beyond a short pulse), and at
        // least one sample must follow a pulse longer than one sample.
        const std::int64_t rest = trigger + shape.length - seen.end();
        if (rest != 0) return recording.skipSamples(static_cast<std::int32_t>(rest));
        return shape.length == 1 || recording.remainingFrames() > 0;
    }
}

namespace {

template <typename T>
std::optional<std::int64_t> findHeldTrigger(const sweep::SweepPlan& plan, const T* samples, std::int64_t count,
                                            std::int64_t from, std::int64_t to, std::int64_t silence) {
    const PulseShape shape = pulseShape(plan.params());
    if (!pulseCanBeFound(plan.params(), shape)) return std::nullopt;
    from = std::max<std::int64_t>(from, 0);
    const std::int64_t end = std::min(to, count);
    const HeldSamples<T> seen(samples, from);
    const bool checkShape = shape.threshold >= 4;
    for (std::int64_t trigger = from + std::max<std::int64_t>(silence, 0); trigger < end; ++trigger) {
        if (magnitude(seen[trigger]) < shape.threshold) continue;
        // The streaming search needs the samples it looks at behind the trigger.
        if (trigger + shape.look > count) return std::nullopt;
        if (checkShape && !looksLikeAPulse(seen, trigger, shape)) continue;
        return trigger;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::int64_t> findSyncTrigger(const sweep::SweepPlan& plan, const std::int16_t* samples, std::int64_t count,
                                            std::int64_t from, std::int64_t to, std::int64_t silence) {
    return findHeldTrigger(plan, samples, count, from, to, silence);
}

std::optional<std::int64_t> findSyncTrigger(const sweep::SweepPlan& plan, const float* samples, std::int64_t count,
                                            std::int64_t from, std::int64_t to, std::int64_t silence) {
    return findHeldTrigger(plan, samples, count, from, to, silence);
}

std::uint16_t trackPeak(std::uint16_t peak, const std::int16_t* samples, std::int32_t count) {
    for (std::int32_t i = 0; i < count; ++i) {
        const std::int32_t magnitude = std::abs(static_cast<std::int32_t>(samples[i]));
        if (peak < static_cast<std::uint16_t>(magnitude)) peak = static_cast<std::uint16_t>(magnitude);
    }
    return peak;
}

}  // namespace auralyn::measurer
