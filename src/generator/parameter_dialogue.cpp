#include "generator/parameter_dialogue.h"

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <span>

namespace auralyn::generator {
namespace {

// tonesPerSyncPulse is 32 bits wide: larger answers are not taken.
constexpr double kMaxTonesPerSyncPulse = 4294967295.0;

// The threshold the measurer takes a pulse from; the dialogue stores it unasked.
constexpr double kSyncThresholdPercent = 15.0;

void printLines(const ConsoleInput& input, std::initializer_list<const char*> lines) {
    for (const char* line : lines) std::fputs(line, input.out);
}

std::uint32_t truncatedUnsigned(double value) { return static_cast<std::uint32_t>(value); }

// One of the dialogue's number questions: its explanation and prompt as they
// are printed (the prompt states the range and the default in the dialogue's
// own wording), the answers it takes, and where the answer goes.
struct NumberQuestion {
    const char* text;
    double min;
    double max;
    double defaultValue;
    void (*store)(sweep::SweepPlan&, double);
};

// Prints the question and stores the answer; nothing when the input ended
// without an answer it can take.
std::optional<double> ask(const NumberQuestion& q, sweep::SweepPlan& plan, ConsoleInput& input) {
    std::fputs(q.text, input.out);
    const std::optional<double> answer = readNumber(input, q.min, q.max, q.defaultValue);
    if (answer) q.store(plan, *answer);
    return answer;
}

bool askEach(std::span<const NumberQuestion> questions, sweep::SweepPlan& plan, ConsoleInput& input) {
    for (const NumberQuestion& q : questions) {
        if (!ask(q, plan, input)) return false;
    }
    return true;
}

const NumberQuestion kSampleRateQuestion = {
    "\nEnter output sampling rate in Hz (between 8000 and 96000; default=48000): ", 8000, 96000, 48000,
    [](sweep::SweepPlan& plan, double rate) { plan.setSampleRate(truncatedUnsigned(rate)); }};

const NumberQuestion kSweepTypeQuestion = {
    "\nSelect sweep type: 1) Octave or 2) Linear (default=Octave): ", 1, 2, 1,
    [](sweep::SweepPlan& plan, double type) { plan.setOctaveSweep(static_cast<std::int32_t>(type) == 1 ? 1 : 0); }};

const NumberQuestion kLinearStepQuestion = {
    "\nEnter the frequency step in Hz from one tone to the next (default=10): ", 0.01, 10000000000.0, 10,
    [](sweep::SweepPlan& plan, double step) { plan.setFrequencyStep(step); }};

const NumberQuestion kOctaveStepQuestion = {"\nEnter the number of tones to play per octave (default=24): ", 0.1,
                                            5000, 24,
                                            [](sweep::SweepPlan& plan, double step) { plan.setFrequencyStep(step); }};

const NumberQuestion kTimingQuestions[] = {
    {"\nEnter the minimum duration for each tone in seconds (default=0.02): ", 0, 1000, 0.02,
     [](sweep::SweepPlan& plan, double seconds) { plan.setMinToneDuration(seconds); }},
    {"\nEnter the time between tones (in seconds) needed for each tone to stabilize."
     "\n Recommended settings:"
     "\n  Speakers:       at least 0.040 seconds"
     "\n  High-quality headphones: 0.025 seconds"
     "\n  Electronic circuits:     0.005 seconds"
     "\n Enter settling time (between 0 and 1; default=0.04): ",
     0, 1, 0.04, [](sweep::SweepPlan& plan, double seconds) { plan.setSettlingTime(seconds); }},
    {"\nEnter the number of tones to be played following each synchronization pulse."
     "\nThe default, 0, will generate only one synchronization pulse,\nat the beginning. ",
     0, kMaxTonesPerSyncPulse, 0,
     [](sweep::SweepPlan& plan, double tones) { plan.setTonesPerSyncPulse(truncatedUnsigned(tones)); }},
};

const NumberQuestion kPulseLevelQuestion = {
    "\nEnter the amplitude of the synchronization pulse as a percent of the maximum"
    "\nvolume (between 10 and 100; default=90): ",
    10, 100, 90, [](sweep::SweepPlan& plan, double percent) { plan.setSyncPulseLevel(percent); }};

// The advanced questions after the pulse level.
const NumberQuestion kErrorControlQuestions[] = {
    {"\nEnter the minimum number of cycles to play of any frequency (this helps ensure"
     "\nthat enough data is collected for the low frequencies)."
     "\nMinimum number of cycles (between 0 and 200; default=10): ",
     0, 200, 10, [](sweep::SweepPlan& plan, double cycles) { plan.setMinCyclesPerTone(truncatedUnsigned(cycles)); }},
    {"\nEnter the maximum allowable fractional cycle. This is an error-control value."
     "\nA value of 1 will work in general, but use values of 0.1 or less to reduce"
     "\nerror. Enter maximum fractional cycle (between 0.00 and 1.0; default=1.0): ",
     0, 1, 1, [](sweep::SweepPlan& plan, double cycles) { plan.setMaxFractionalCycle(cycles); }},
    {"\nEnter the maximum number of extra samples to be added to each tone in order"
     "\nto control error. Larger values will result in larger wave files but possibly"
     "\nhigher accuracy."
     "\nEnter the maximum number of samples (between 0 and 3000; default=400): ",
     0, 3000, 400, [](sweep::SweepPlan& plan, double samples) { plan.setMaxExtraSamples(truncatedUnsigned(samples)); }},
    {"\nEnter the maximum expected drift (in seconds) due to unequal sampling rates"
     "\nbetween the tone source and recorder (between 0 and 1; default=0.0002): ",
     0, 1, 0.0002, [](sweep::SweepPlan& plan, double seconds) { plan.setMaxTimeDrift(seconds); }},
};

// The advanced options, each asked with its explanation.
bool askAdvancedOptions(sweep::SweepPlan& plan, ConsoleInput& input) {
    const std::optional<double> pulseLevel = ask(kPulseLevelQuestion, plan, input);
    if (!pulseLevel) return false;
    // Levels down to 10 stay accepted (files of other builds carry them), but the
    // measurer cannot find a pulse that never reaches its threshold.
    if (*pulseLevel < kSyncThresholdPercent) {
        std::fputs("\nWarning: A synchronization pulse below the 15 % threshold cannot be found, so this "
                   "sweep will not measure.",
                   input.out);
    }
    return askEach(kErrorControlQuestions, plan, input);
}

bool askFrequencies(sweep::SweepPlan& plan, ConsoleInput& input) {
    const double nyquist = plan.params().sampleRate * 0.5;
    const double endDefault = 20000.0 < nyquist ? 20000.0 : nyquist;
    const NumberQuestion start = {"\nEnter the starting frequency of the sweep in Hz (default=20): ", 0.1, nyquist, 20,
                                  [](sweep::SweepPlan& p, double hz) { p.setStartFrequency(hz); }};
    if (!ask(start, plan, input)) return false;

    // The end's range is formed from the rate and the start just stored.
    printLines(input, {"\nEnter the end frequency of the sweep in Hz. The maximum frequency must be",
                       "\nat least the starting frequency and less than half the sampling rate."});
    const double startFrequency = plan.params().startFrequency;
    std::fprintf(input.out, "\nEnter the end frequency (between %.0f and %.0f; default=%.0f): ", startFrequency,
                 nyquist, endDefault);
    std::optional<double> end = readNumber(input, startFrequency, nyquist, endDefault);
    if (!end) return false;
    plan.setEndFrequency(*end);
    return true;
}

}  // namespace

bool askSweepParameters(sweep::SweepPlan& plan, ConsoleInput& input) {
    printLines(input, {"\nEnter the parameters for this frequency sweep. For any values you do not",
                       "\ncare about, just press Enter to accept the default.\n"});
    if (!ask(kSampleRateQuestion, plan, input) || !ask(kSweepTypeQuestion, plan, input)) return false;
    if (!askFrequencies(plan, input)) return false;
    const bool linear = plan.params().octaveSweep == 0;
    if (!ask(linear ? kLinearStepQuestion : kOctaveStepQuestion, plan, input)) return false;
    if (!askEach(kTimingQuestions, plan, input)) return false;

    std::fputs("\nDo you want to edit the advanced options? (y/n) ", input.out);
    if (readYesNo(input)) {
        if (!askAdvancedOptions(plan, input)) return false;
    } else {
        storeAdvancedDefaults(plan);
    }

    storeFixedValues(plan);
    return true;
}

void storeAdvancedDefaults(sweep::SweepPlan& plan) {
    plan.setMaxExtraSamples(400);
    plan.setSyncPulseLevel(90);
    plan.setMaxTimeDrift(0.0002);
    plan.setMinCyclesPerTone(10);
    plan.setMaxFractionalCycle(1.0);
}

void storeFixedValues(sweep::SweepPlan& plan) {
    plan.setSyncThreshold(kSyncThresholdPercent);
    plan.setSyncPulseDuration(0.0002);
    plan.setLeadInTime(0.5);
}

sweep::SweepPlan planFromAnswers(const SweepAnswers& answers) {
    sweep::SweepPlan plan;
    plan.setSampleRate(answers.sampleRate);
    plan.setOctaveSweep(answers.octaveSweep);
    plan.setStartFrequency(answers.startFrequency);
    plan.setEndFrequency(answers.endFrequency);
    plan.setFrequencyStep(answers.frequencyStep);
    plan.setMinToneDuration(answers.minToneDuration);
    plan.setSettlingTime(answers.settlingTime);
    plan.setTonesPerSyncPulse(answers.tonesPerSyncPulse);
    storeAdvancedDefaults(plan);
    storeFixedValues(plan);
    return plan;
}

}  // namespace auralyn::generator
