#pragma once

#include <optional>
#include <span>
#include <string>

namespace auralyn::calibration {

// The steady tone of an acoustic calibrator (or of any steady test tone) as
// found in a recording.
struct CalibratorTone {
    double frequencyHz = 0.0;
    double levelDbfs = 0.0;         // 20 log10 of the peak amplitude: a full-scale sine is 0 dBFS
    double levelStandardDb = 0.0;   // standard uncertainty of that level (spread of its blocks)
    double levelSpreadDb = 0.0;     // highest minus lowest block level
    double toneToRestDb = 0.0;      // the tone's power over everything else's
    double durationSeconds = 0.0;
};

// A tone or the reason there is none to use.
struct CalibratorToneResult {
    std::optional<CalibratorTone> tone;
    std::string refusal;  // set where tone is not
};

// Limits a calibrator recording must keep.
inline constexpr double kMaxLevelSpreadDb = 0.5;
inline constexpr double kMinToneToRestDb = 20.0;
inline constexpr double kSilenceDbfs = -100.0;
inline constexpr double kMinDurationSeconds = 0.5;

// Finds the dominant tone of a recording whose samples are normalised to
// full scale = 1.0, and its level: the spectrum's highest peak, refined by an
// IEEE Std 1057 four-parameter sine fit over the whole recording (the
// least-squares estimate of amplitude and frequency, unbiased by noise).
// Refuses, with the reason, a recording that is too short, clips, is silent,
// holds two tones or no dominant one, or whose level varies by more than
// kMaxLevelSpreadDb between its tenths of a second.
CalibratorToneResult analyzeCalibratorTone(std::span<const double> samples, double sampleRate);

}  // namespace auralyn::calibration
