#include "cli/analysis_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "analysis/phase_steps.h"
#include "cli/diagnostics.h"

namespace auralyn::cli {
namespace {

using analysis::ToneFlag;
using analysis::ToneMeasurement;

// A block whose tone stands this far (dB) above all else in it holds that tone.
constexpr double kRingingThdnDb = -10.0;
// A room that rings far into every block (its reverberation as loud as the
// direct sound) leaves less of the tone above the rest; the tones still
// stand above it, and when nearly all of them ring, some visibly decaying,
// that is the room: another recording's blocks would not ring alike.
constexpr double kLoudRoomThdnDb = 0.0;
constexpr double kLoudRoomShare = 0.8;

ToneFlag flagOf(const ToneMeasurement& tone) {
    return tone.steadiness ? tone.steadiness->flag : ToneFlag::None;
}

std::size_t countFlag(const analysis::SweepAnalysis& analysis, ToneFlag flag) {
    std::size_t count = 0;
    for (const ToneMeasurement& tone : analysis.tones) count += flagOf(tone) == flag ? 1 : 0;
    return count;
}

std::string noiseSourceName(const ToneMeasurement& tone) {
    if (!tone.quality || !tone.quality->fitted) return "";
    switch (tone.quality->noiseSource) {
    case analysis::NoiseSource::LeadIn: return "lead_in";
    case analysis::NoiseSource::Silence: return "silence";
    case analysis::NoiseSource::Residual: break;
    }
    return "residual";
}

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string toneCount(std::size_t count) { return std::to_string(count) + (count == 1 ? " tone" : " tones"); }

std::string foundBy(const analysis::TimingJump& jump) {
    if (jump.fromPhases) return "phases";
    return jump.exact ? "sync_pulse" : "tones";
}

// A jump the tones only estimate leaves the later tones unplaced; what a
// sync pulse could have done there depends on whether the sweep has one after it.
std::string whyNotPlaced(const analysis::TimingJump& jump) {
    const std::string unplaced = "their place is not known to a sample and they were not measured";
    if (jump.pulseAfter)
        return "the sync pulses after the jump did not give their new place (one was not found where the tones "
               "put it, or the loss took it away), so " +
               unplaced + ": record again";
    if (jump.sweepHasPulses)
        return "no sync pulse follows the jump (it lies after the sweep's last), so " + unplaced +
               ": record again, or make the sweep with sync pulses closer together (a smaller sweep --tones-per-sync)";
    return "without a sync pulse after the jump " + unplaced +
           ": record again, or make the sweep with sync pulses (sweep --tones-per-sync)";
}

void printJump(const std::string& path, const analysis::TimingJump& jump, double rate) {
    // A jump of a sample or a few is a few hundredths of a millisecond.
    const double ms = 1000.0 * jump.samples / rate;
    printDiagnostic("the recording jumps by " + fixed(ms, std::fabs(ms) < 1.0 ? 3 : 1) + " ms at " +
                    fixed(jump.seconds, 1) + " s (tone " + std::to_string(jump.tone) + ")");
    const double count = std::fabs(jump.samples);
    const std::string size =
        fixed(count, 0) + (count == 1.0 ? " sample " : " samples ") + (jump.samples > 0 ? "late" : "early");
    if (jump.fromPhases) {
        // Longer steps come from a player's stall or a lost buffer between two blocks.
        const std::string cause = count <= analysis::kLongestPhaseStep
                                      ? " (a recorder that dropped or repeated samples)"
                                      : " (a player that stalled, or a recorder that lost samples, between two blocks)";
        printDiagnostic(path + ": every later tone comes " + size + cause +
                        "; the step in the tones' phases gave their new place and they were measured there");
    } else if (jump.exact) {
        printDiagnostic(path + ": every later tone comes " + size +
                        "; the sync pulse after the jump gave their new place and they were measured there");
    } else if (jump.beforeOtherTones) {
        printDiagnostic(path + ": every later tone comes about " + size +
                        "; the jump lies in the first tone or just before it, so the tones after it were measured "
                        "where they now lie, their phases referred to the start they give (the first tone, which "
                        "may lie on either side of the jump, is flagged gap and not measured)");
    } else {
        printDiagnostic(path + ": every later tone comes about " + size + "; " + whyNotPlaced(jump));
    }
}

// A tone that rings or changes along its block while it still stands well
// above everything else in it: a room or a device, not another recording.
bool ringingTone(const ToneMeasurement& tone) {
    const ToneFlag flag = flagOf(tone);
    if (flag != ToneFlag::Unsettled && flag != ToneFlag::Unsteady) return false;
    return tone.quality && tone.quality->thdnDb && *tone.quality->thdnDb < kRingingThdnDb;
}

bool ringsAboveTheRest(const ToneMeasurement& tone) {
    const ToneFlag flag = flagOf(tone);
    if (flag != ToneFlag::Unsettled && flag != ToneFlag::Unsteady) return false;
    return tone.quality && tone.quality->thdnDb && *tone.quality->thdnDb < kLoudRoomThdnDb;
}

bool loudRoom(const analysis::SweepAnalysis& analysis) {
    const auto ringing =
        static_cast<double>(std::count_if(analysis.tones.begin(), analysis.tones.end(), ringsAboveTheRest));
    return countFlag(analysis, ToneFlag::Unsettled) > 0 && ringing >= kLoudRoomShare * static_cast<double>(analysis.tones.size());
}

// The recording's own constants (its sampling rate, the reference channel)
// hold for a tone that could not be placed as for any other.
bool knownWithoutPlace(const std::string& name) {
    return name == "frequency_hz" || name == "steady" || name == "sample_rate_hz" || name == "reference_channel";
}

// The first tone, where it holds a jump that the later tones placed: it
// alone is left unmeasured, and every other tone was measured where it lies.
bool holdsFirstToneJump(const analysis::SweepAnalysis& analysis, const ToneMeasurement& tone) {
    return std::any_of(analysis.jumps.begin(), analysis.jumps.end(), [&](const analysis::TimingJump& jump) {
        return jump.beforeOtherTones && jump.tone == tone.index;
    });
}

}  // namespace

std::vector<ToneColumn> withoutUnplacedValues(std::vector<ToneColumn> columns) {
    for (ToneColumn& column : columns) {
        if (knownWithoutPlace(column.name) || column.json || column.text) continue;
        column.value = [get = column.value](const ToneMeasurement& t) -> std::optional<double> {
            if (!t.placed) return std::nullopt;
            return get(t);
        };
    }
    return columns;
}

std::vector<ToneColumn> withCheckColumns(std::vector<ToneColumn> columns) {
    const auto none = [](const ToneMeasurement&) -> std::optional<double> { return std::nullopt; };
    columns.push_back({"steady",
                       [](const ToneMeasurement& t) -> std::optional<double> {
                           if (!t.steadiness) return std::nullopt;
                           return t.steadiness->steady ? 1.0 : 0.0;
                       },
                       true});
    columns.push_back({"flag", none, false, {}, [](const ToneMeasurement& t) -> std::optional<std::string> {
                           return analysis::flagName(flagOf(t));
                       }});
    columns.push_back({"noise_source", none, false, {}, [](const ToneMeasurement& t) -> std::optional<std::string> {
                           if (!t.placed) return std::string();
                           return noiseSourceName(t);
                       }});
    return columns;
}

std::vector<SummaryField> checkSummaryFields(const analysis::SweepAnalysis& analysis, double rate) {
    nlohmann::ordered_json jumps = nlohmann::ordered_json::array();
    for (const analysis::TimingJump& jump : analysis.jumps) {
        jumps.push_back({{"tone", jump.tone},
                         {"time_s", jsonNumber(jump.seconds)},
                         {"size_s", jsonNumber(jump.samples / rate)},
                         {"size_samples", jsonNumber(jump.samples)},
                         {"exact", jump.exact},
                         {"found_by", foundBy(jump)}});
    }
    nlohmann::ordered_json model = nullptr;
    if (analysis.clockModel) {
        const analysis::ClockModel& m = *analysis.clockModel;
        model = {{"model", m.drifting ? "drifting" : "constant"},
                 {"ppm_at_start", jsonNumber(m.ppmAtStart)},
                 {"slope_ppm_per_s", jsonNumber(m.slopePpmPerSecond)},
                 {"slope_ppm_per_s_u95", jsonNumber(m.slopeU95)},
                 {"span_s", jsonNumber(m.spanSeconds)},
                 {"tones", m.tones}};
    }
    return {{"jumps", std::move(jumps)}, {"clock_model", std::move(model)}};
}

bool checksExplainClock(const analysis::SweepAnalysis& analysis) {
    if (!analysis.jumps.empty()) return true;
    const auto ringing = static_cast<std::size_t>(std::count_if(analysis.tones.begin(), analysis.tones.end(), ringingTone));
    if (2 * ringing > analysis.tones.size()) return true;
    return loudRoom(analysis);
}

std::string checkStatus(const analysis::SweepAnalysis& analysis, const std::optional<clock::ClockFigure>& clock) {
    for (const ToneMeasurement& tone : analysis.tones) {
        if (!tone.placed && !holdsFirstToneJump(analysis, tone)) return "jump";
    }
    if (clock && clock->verdict == clock::ClockVerdict::Disagree && checksExplainClock(analysis))
        return analysis.jumps.empty() ? "unsettled" : "jump";
    return {};
}

void printCheckMessages(const std::string& path, const analysis::SweepAnalysis& analysis, double rate,
                        const std::optional<clock::ClockFigure>& clock) {
    if (clock && clock->verdict == clock::ClockVerdict::Disagree && analysis.jumps.empty() && checksExplainClock(analysis))
        printDiagnostic(path + ": most tones had not settled when their blocks began (the room still rang from the "
                               "tone before), so they give no clock: make the sweep with a longer settling time "
                               "(sweep --settling)");
    for (const analysis::TimingJump& jump : analysis.jumps) printJump(path, jump, rate);
    const std::map<ToneFlag, std::string> advice{
        {ToneFlag::Unsettled, "the room had not settled from the tone before: make the sweep with a longer "
                              "settling time (sweep --settling)"},
        {ToneFlag::Gap, "a dropout, a run of one repeated sample: record again, with a larger buffer for the "
                        "recorder"},
        {ToneFlag::Burst, "noise well above that of the tones around: measure again in quiet"},
        {ToneFlag::Unsteady, "the tone changed along its block: check the connections and measure again"},
        {ToneFlag::BelowNoise, "the tone lies below or near the noise: raise the playback level or move the "
                               "microphone closer"},
        {ToneFlag::Quantized, "the recording was rounded to a coarse resolution without dither, so its error "
                              "follows the tone: their intervals were widened to that rounding's worst case; record "
                              "at 16 bits or more, or with dither"},
    };
    for (const auto& [flag, text] : advice) {
        const std::size_t count = countFlag(analysis, flag);
        if (count == 0) continue;
        const std::string widened =
            analysis::breaksSteadiness(flag) ? "; their intervals were widened to what their halves support" : "";
        printDiagnostic("warning: " + path + ": " + toneCount(count) + " flagged " + analysis::flagName(flag) + " (" +
                        text + ")" + widened);
    }
    if (analysis.clockModel && analysis.clockModel->drifting) {
        const analysis::ClockModel& m = *analysis.clockModel;
        printDiagnostic("warning: " + path + ": the recorder's clock drifts against the player's, from " +
                        fixed(m.ppmAtStart, 2) + " ppm to " + fixed(m.ppmAtStart + m.slopePpmPerSecond * m.spanSeconds, 2) +
                        " ppm over " + fixed(m.spanSeconds, 1) +
                        " s: the tones were placed on the drifting clock; for a surer time base let player and "
                        "recorder share one clock, or record a loopback reference (--reference-channel)");
    }
}

}  // namespace auralyn::cli
