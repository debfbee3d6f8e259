#include "calibration/calibrator_tone.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

#include "calibration/sine_fit.h"
#include "calibration/spectrum_peaks.h"

namespace auralyn::calibration {
namespace {

// One step below a 16-bit full-scale code: a sample at or beyond it is taken
// for clipping whatever the recording's resolution.
constexpr double kClipLevel = 32766.0 / 32768.0;
constexpr double kBlockSeconds = 0.1;
constexpr double kLowestToneHz = 10.0;

CalibratorToneResult refuse(const char* format, double a = 0.0, double b = 0.0, double c = 0.0) {
    char text[256];
    std::snprintf(text, sizeof text, format, a, b, c);
    return {std::nullopt, text};
}

double dB(double ratio) { return 20.0 * std::log10(ratio); }

std::size_t clippedSamples(std::span<const double> samples) {
    return static_cast<std::size_t>(std::count_if(samples.begin(), samples.end(), [](double x) {
        return !std::isfinite(x) || std::abs(x) >= kClipLevel;
    }));
}

double rms(std::span<const double> samples) {
    double sum = 0.0;
    for (const double x : samples) sum += x * x;
    return std::sqrt(sum / static_cast<double>(samples.size()));
}

// The four-parameter fit converges only from a frequency within a fraction of
// a bin of the block it is given; short blocks first, each one's frequency
// starting the next, four times longer.
SineFit fitWholeRecording(std::span<const double> samples, double sampleRate, double startHz) {
    std::size_t length = std::min<std::size_t>(samples.size(), 8192);
    double frequency = startHz;
    for (;;) {
        const std::size_t start = (samples.size() - length) / 2;
        const SineFit fit = fitSine(samples.subspan(start, length), sampleRate, frequency);
        frequency = fit.frequencyHz;
        if (length == samples.size()) return fit;
        length = std::min(samples.size(), length * 4);
    }
}

std::vector<double> blockLevelsDb(std::span<const double> samples, double sampleRate, double frequencyHz) {
    const auto blockLength = static_cast<std::size_t>(std::lround(kBlockSeconds * sampleRate));
    std::vector<double> levels;
    for (std::size_t start = 0; start + blockLength <= samples.size(); start += blockLength) {
        const SineFit fit = fitSineKnownFrequency(samples.subspan(start, blockLength), sampleRate, frequencyHz);
        levels.push_back(dB(std::max(fit.amplitude, 1e-300)));
    }
    return levels;
}

double standardErrorOfMean(const std::vector<double>& values) {
    if (values.size() < 2) return 0.0;
    double mean = 0.0;
    for (const double v : values) mean += v;
    mean /= static_cast<double>(values.size());
    double squares = 0.0;
    for (const double v : values) squares += (v - mean) * (v - mean);
    const double n = static_cast<double>(values.size());
    return std::sqrt(squares / (n - 1.0) / n);
}

// A second spectral peak is a second tone where taking both tones away
// leaves little (rather than a peak of noise, or a warble of one tone).
bool isSecondTone(std::span<const double> samples, double sampleRate, const SineFit& first, double secondHz) {
    const std::vector<double> rest = withoutSine(samples, sampleRate, first);
    const SineFit second = fitWholeRecording(rest, sampleRate, secondHz);
    const double tonesPower = (first.amplitude * first.amplitude + second.amplitude * second.amplitude) / 2.0;
    return 10.0 * std::log10(tonesPower / std::max(second.residualRms * second.residualRms, 1e-300)) >= 10.0;
}

}  // namespace

CalibratorToneResult analyzeCalibratorTone(std::span<const double> samples, double sampleRate) {
    if (!(sampleRate > 0.0)) return refuse("no sampling rate");
    const double duration = static_cast<double>(samples.size()) / sampleRate;
    if (duration < kMinDurationSeconds) {
        return refuse("too short for a calibrator reading: %.3g s (at least %.3g s)", duration, kMinDurationSeconds);
    }
    if (const std::size_t clipped = clippedSamples(samples); clipped > 0) {
        return refuse("clips: %.0f samples at full scale (lower the input gain)", static_cast<double>(clipped));
    }
    const double level = dB(rms(samples) * std::numbers::sqrt2);
    if (!(level > kSilenceDbfs)) return refuse("silent: no tone above %.0f dBFS", kSilenceDbfs);

    const SpectrumPeaks peaks = strongestPeaks(samples, sampleRate, kLowestToneHz);
    if (!peaks.mainHz) return refuse("no tone above %.0f Hz", kLowestToneHz);
    const SineFit fit = fitWholeRecording(samples, sampleRate, *peaks.mainHz);
    const double toneToRest = dB(fit.amplitude / std::numbers::sqrt2 / std::max(fit.residualRms, 1e-300));
    if (peaks.secondHz && peaks.mainOverSecondDb < kMinToneToRestDb && isSecondTone(samples, sampleRate, fit, *peaks.secondHz)) {
        return refuse("two tones: %.6g Hz and %.6g Hz, %.1f dB apart (a calibrator gives one)", fit.frequencyHz,
                      *peaks.secondHz, peaks.mainOverSecondDb);
    }
    if (toneToRest < kMinToneToRestDb) {
        return refuse("no single tone dominates: the %.6g Hz tone is only %.3g dB above the rest", fit.frequencyHz,
                      toneToRest);
    }
    const std::vector<double> levels = blockLevelsDb(samples, sampleRate, fit.frequencyHz);
    const auto [lowest, highest] = std::minmax_element(levels.begin(), levels.end());
    const double spread = *highest - *lowest;
    if (spread > kMaxLevelSpreadDb) {
        return refuse("not a steady tone: its level varies by %.3g dB (%.2f to %.2f dBFS)", spread, *lowest, *highest);
    }

    CalibratorTone tone;
    tone.frequencyHz = fit.frequencyHz;
    tone.levelDbfs = dB(fit.amplitude);
    tone.levelStandardDb = standardErrorOfMean(levels);
    tone.levelSpreadDb = spread;
    tone.toneToRestDb = toneToRest;
    tone.durationSeconds = duration;
    return {tone, {}};
}

}  // namespace auralyn::calibration
