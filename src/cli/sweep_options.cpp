#include "cli/sweep_options.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <utility>

#include "cli/number_text.h"
#include "generator/parameter_dialogue.h"

namespace auralyn::cli {
namespace {

// One of the dialogue's questions: its option, range and default.
struct Question {
    const char* option;
    double min;
    double max;
    double defaultValue;
};

std::string rangeText(double min, double max) {
    return "expected a number from " + shortestText(min) + " to " + shortestText(max);
}

// What readNumber takes, except that a value it would silently ask again for
// is refused with a message.
bool take(const Question& q, const std::optional<std::string>& text, double& value, std::string& error) {
    double min = q.min;
    double max = q.max;
    if (min > max) std::swap(min, max);
    const std::string option = q.option;
    if (!text) {
        if (min <= q.defaultValue && q.defaultValue <= max) {
            value = q.defaultValue;
            return true;
        }
        error = option + ": the default " + shortestText(q.defaultValue) + " is out of range here; give " + option +
                " (" + rangeText(min, max) + ")";
        return false;
    }
    const std::optional<double> number = wholeNumber(*text);
    if (!number) {
        error = option + ": '" + *text + "' is not a number; " + rangeText(min, max);
        return false;
    }
    if (!(min <= *number && *number <= max)) {
        error = option + ": " + *text + " is out of range; " + rangeText(min, max);
        return false;
    }
    value = *number;
    return true;
}

std::uint32_t truncatedUnsigned(double value) { return static_cast<std::uint32_t>(value); }

// tonesPerSyncPulse is 32 bits wide, as in the dialogue.
constexpr double kMaxTonesPerSyncPulse = 4294967295.0;

bool storeFrequencies(const SweepOptions& o, sweep::SweepPlan& plan, std::string& error) {
    const double nyquist = plan.params().sampleRate * 0.5;
    const double endDefault = 20000.0 < nyquist ? 20000.0 : nyquist;
    double start = 0;
    if (!take({"--start", 0.1, nyquist, 20}, o.start, start, error)) return false;
    plan.setStartFrequency(start);
    const double endMin = plan.params().startFrequency;
    if (!o.end && endDefault < endMin) {
        error = "--end: the default " + shortestText(endDefault) + " lies below --start " + shortestText(endMin) +
                "; give --end (" + rangeText(endMin, nyquist) + ")";
        return false;
    }
    double end = 0;
    if (!take({"--end", endMin, nyquist, endDefault}, o.end, end, error)) return false;
    plan.setEndFrequency(end);
    double step = 0;
    const bool linear = plan.params().octaveSweep == 0;
    const Question stepQuestion =
        linear ? Question{"--step", 0.01, 10000000000.0, 10} : Question{"--step", 0.1, 5000, 24};
    if (!take(stepQuestion, o.step, step, error)) return false;
    plan.setFrequencyStep(step);
    return true;
}

bool storeTiming(const SweepOptions& o, sweep::SweepPlan& plan, std::string& error) {
    double duration = 0;
    if (!take({"--min-duration", 0, 1000, 0.02}, o.minDuration, duration, error)) return false;
    plan.setMinToneDuration(duration);
    double settling = 0;
    if (!take({"--settling", 0, 1, 0.04}, o.settling, settling, error)) return false;
    plan.setSettlingTime(settling);
    double tonesPerPulse = 0;
    if (!take({"--tones-per-sync", 0, kMaxTonesPerSyncPulse, 0}, o.tonesPerSync, tonesPerPulse, error)) return false;
    plan.setTonesPerSyncPulse(truncatedUnsigned(tonesPerPulse));
    return true;
}

// An advanced question: the option that answers it and the setter that
// stores the answer (whole-number fields truncated, as the dialogue does).
struct AdvancedQuestion {
    Question question;
    std::optional<std::string> SweepOptions::*answer;
    void (*store)(sweep::SweepPlan&, double);
};

// The advanced questions in the order the dialogue asks them.
const AdvancedQuestion kAdvancedQuestions[] = {
    {{"--sync-level", 10, 100, 90}, &SweepOptions::syncLevel,
     [](sweep::SweepPlan& plan, double level) { plan.setSyncPulseLevel(level); }},
    {{"--min-cycles", 0, 200, 10}, &SweepOptions::minCycles,
     [](sweep::SweepPlan& plan, double cycles) { plan.setMinCyclesPerTone(truncatedUnsigned(cycles)); }},
    {{"--max-fractional-cycle", 0, 1, 1}, &SweepOptions::maxFractionalCycle,
     [](sweep::SweepPlan& plan, double fractional) { plan.setMaxFractionalCycle(fractional); }},
    {{"--max-extra-samples", 0, 3000, 400}, &SweepOptions::maxExtraSamples,
     [](sweep::SweepPlan& plan, double extra) { plan.setMaxExtraSamples(truncatedUnsigned(extra)); }},
    {{"--max-drift", 0, 1, 0.0002}, &SweepOptions::maxDrift,
     [](sweep::SweepPlan& plan, double drift) { plan.setMaxTimeDrift(drift); }},
};

bool anyAdvancedOption(const SweepOptions& o) {
    return std::any_of(std::begin(kAdvancedQuestions), std::end(kAdvancedQuestions),
                       [&o](const AdvancedQuestion& a) { return (o.*a.answer).has_value(); });
}

bool storeAdvanced(const SweepOptions& o, sweep::SweepPlan& plan, std::string& error) {
    for (const AdvancedQuestion& a : kAdvancedQuestions) {
        double value = 0;
        if (!take(a.question, o.*a.answer, value, error)) return false;
        a.store(plan, value);
    }
    return true;
}

}  // namespace

bool storeSweepOptions(const SweepOptions& options, sweep::SweepPlan& plan, std::string& error) {
    double rate = 0;
    if (!take({"--rate", 8000, 96000, 48000}, options.rate, rate, error)) return false;
    plan.setSampleRate(truncatedUnsigned(rate));
    plan.setOctaveSweep(options.linear ? 0 : 1);
    if (!storeFrequencies(options, plan, error) || !storeTiming(options, plan, error)) return false;
    if (anyAdvancedOption(options)) {
        if (!storeAdvanced(options, plan, error)) return false;
    } else {
        generator::storeAdvancedDefaults(plan);
    }
    generator::storeFixedValues(plan);
    return true;
}

}  // namespace auralyn::cli
