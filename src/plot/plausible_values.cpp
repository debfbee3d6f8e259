#include "plot/plausible_values.h"

#include <cmath>
#include <optional>

#include "platform/printed.h"

namespace auralyn::plot {
namespace {

std::string numberText(double value) { return platform::printed("%g", value); }

std::string toneError(std::size_t index, const std::string& what) {
    return "tone " + std::to_string(index + 1) + ": " + what;
}

bool frequencyPlausible(double hz) { return hz >= kLowestFrequencyHz && hz <= kHighestFrequencyHz; }

bool checkPoint(const ResponsePoint& point, std::size_t index, std::string& error) {
    if (!frequencyPlausible(point.frequency)) {
        error = toneError(index, "its frequency, " + numberText(point.frequency) + " Hz, is not a sweep's (" +
                                     numberText(kLowestFrequencyHz) + " Hz to " + numberText(kHighestFrequencyHz) +
                                     " Hz)");
        return false;
    }
    if (std::fabs(point.magnitudeDb) > kLargestDb) {
        error = toneError(index, "its magnitude, " + numberText(point.magnitudeDb) + " dB, lies beyond \u00b1" +
                                     numberText(kLargestDb) + " dB");
        return false;
    }
    if (std::fabs(point.phaseDegrees) > kLargestPhaseDeg) {
        error = toneError(index, "its phase, " + numberText(point.phaseDegrees) + " degrees, lies beyond \u00b1" +
                                     numberText(kLargestPhaseDeg) + " degrees");
        return false;
    }
    return true;
}

bool checkQuality(const QualityRow& tone, std::size_t index, std::string& error) {
    if (!frequencyPlausible(tone.frequency)) {
        error = toneError(index, "its frequency, " + numberText(tone.frequency) + " Hz, is not a sweep's");
        return false;
    }
    if (tone.frequencyMeasuredHz && !frequencyPlausible(*tone.frequencyMeasuredHz)) {
        error = toneError(index, "its measured frequency, " + numberText(*tone.frequencyMeasuredHz) +
                                     " Hz, is not a sweep's");
        return false;
    }
    const std::optional<double> levels[] = {tone.thdDb,    tone.thdPercent,     tone.thdnDb,        tone.noiseFloorDbfs,
                                            tone.snrDb,    tone.magnitudeU95Db, tone.harmonicDbc[0], tone.harmonicDbc[1],
                                            tone.harmonicDbc[2], tone.harmonicDbc[3], tone.harmonicDbc[4],
                                            tone.harmonicDbc[5], tone.harmonicDbc[6], tone.harmonicDbc[7],
                                            tone.harmonicDbc[8]};
    for (const std::optional<double>& level : levels) {
        if (!level || std::fabs(*level) <= kLargestDb) continue;
        error = toneError(index, "a distortion, noise or interval value, " + numberText(*level) + ", lies beyond \u00b1" +
                                     numberText(kLargestDb));
        return false;
    }
    if (tone.phaseU95Deg && std::fabs(*tone.phaseU95Deg) > kLargestPhaseDeg) {
        error = toneError(index, "its phase interval, " + numberText(*tone.phaseU95Deg) + " degrees, is not a phase");
        return false;
    }
    return true;
}

}  // namespace

bool checkPlausible(const Measurement& measurement, std::string& error) {
    if (measurement.points.size() > kMostTones) {
        error = "holds " + std::to_string(measurement.points.size()) + " tones; a plot draws at most " +
                std::to_string(kMostTones);
        return false;
    }
    for (std::size_t i = 0; i < measurement.points.size(); ++i) {
        if (measurement.points[i] && !checkPoint(*measurement.points[i], i, error)) return false;
        if (i < measurement.quality.size() && !checkQuality(measurement.quality[i], i, error)) return false;
    }
    return true;
}

std::string leftOutText(const Measurement& measurement) {
    const auto tones = [](std::size_t count) { return std::to_string(count) + " tones"; };
    std::string text;
    if (measurement.silentTones != 0) text = tones(measurement.silentTones) + " with an amplitude of 0";
    const std::size_t others = measurement.points.size() - drawnCount(measurement) - measurement.silentTones;
    if (others != 0)
        text += (text.empty() ? "" : " and ") + tones(others) + " without a finite magnitude and phase";
    return text;
}

}  // namespace auralyn::plot
