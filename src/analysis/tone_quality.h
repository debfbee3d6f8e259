#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "analysis/sample.h"
#include "analysis/harmonic_fit.h"
#include "analysis/lead_in_noise.h"

namespace auralyn::analysis {

// Full scale: the amplitude of the largest sine the generator writes.
inline constexpr double kFullScale = 32767.0;

// Where the noise variance behind the uncertainty came from.
enum class NoiseSource {
    Residual,  // the residual of the block's own fit
    LeadIn,    // the lead-in's noise at this frequency, which was the larger
    Silence,   // that of the silences nearest the tone, before later sync pulses (silence_noise.h)
};

// Everything measured about one tone. Values that cannot be had are empty,
// never NaN or infinite.
struct ToneQuality {
    bool fitted = false;      // false: the block could not be fitted; only the noise floor may be present
    double amplitude = 0.0;   // fitted fundamental, sample units
    double phase = 0.0;       // radians at the block start, -pi..pi; a sine rising through zero there reads 0
    std::optional<double> levelDbfs;  // 20 log10(amplitude / full scale)
    double dc = 0.0;                  // sample units
    double residualRms = 0.0;         // RMS of what the whole fit leaves, sample units
    // h_dbc[k] for k = 2..10: harmonic k against the fundamental; empty where
    // k f lies at or above half the sampling rate, the tone is below its noise,
    // or the harmonic does not stand clear of the noise at its own frequency.
    std::array<std::optional<double>, kMaxHarmonic + 1> harmonicDbc{};
    std::optional<double> thdDb;       // RSS of the harmonics present, against the fundamental
    std::optional<double> thdDbUpper;  // where some harmonic is lost in its noise: THD is at most this
    std::optional<double> thdPercent;
    std::optional<double> thdnDb;      // RMS of all but fundamental and DC against the fundamental's RMS
    std::optional<double> noiseFloorDbfs;  // this measurement's RMS amplitude on noise alone
    bool noiseFloorFromLeadIn = false;     // false: from the block's residual (no lead-in block fitted)
    std::optional<double> snrDb;           // level minus noise floor
    double magnitudeU95Db = 0.0;           // half-width of the 95 % interval of the level
    double phaseU95Deg = 0.0;              // half-width of the 95 % interval of the phase
    NoiseSource noiseSource = NoiseSource::Residual;
};

// Measures one tone's block: the joint harmonic fit (fitHarmonics: the block's
// samples at times firstSampleOffset + n from the block start, at
// cyclesPerSample = frequency / sampling rate, the frequency the tone really
// has in the recording), the noise floor at that frequency and block length
// over the lead-in, the SNR, distortion and the 95 % intervals of the
// fundamental's level and phase.
ToneQuality measureTone(const Sample* samples, std::size_t count, double firstSampleOffset,
                        double cyclesPerSample, const LeadInSpan& leadIn);

// The same from a joint harmonic fit already made of the block (fitHarmonics
// of its `count` samples at cyclesPerSample), so that a tone is fitted once.
ToneQuality qualityFromFit(const HarmonicFit& fit, std::size_t count, double cyclesPerSample, const LeadInSpan& leadIn);
// The same with the lead-in's noise at the tone measured already
// (measureLeadInNoise(leadIn, count, cyclesPerSample)).
ToneQuality qualityFromFit(const HarmonicFit& fit, std::size_t count, double cyclesPerSample, const LeadInSpan& leadIn,
                           const std::optional<LeadInNoise>& leadInNoise);

// Decibels of a ratio of amplitudes, finite: ratios below 1e-20 give -400 dB.
double amplitudeDb(double ratio);

}  // namespace auralyn::analysis
