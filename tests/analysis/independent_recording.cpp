#include "independent_recording.h"

#include "analysis/sweep_origin.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "analysis/tone_layout.h"
#include "sweep/sweep_layout.h"

namespace auralyn::test {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kFullScale = 32767.0;
constexpr int kToneMargin = 8;         // played samples written beyond each block
constexpr double kPulseGain = 0.5;     // the device's gain at the pulse's frequencies
constexpr double kLeadInSeconds = 1.0; // before the first pulse, beyond the measurer's lead-in

// Paul Kellet's economy pink filter: three first-order sections whose sum
// falls 3 dB per octave within 0.5 dB across the audio band.
class PinkFilter {
public:
    double next(double white) {
        b0_ = 0.99765 * b0_ + white * 0.0990460;
        b1_ = 0.96300 * b1_ + white * 0.2965164;
        b2_ = 0.57000 * b2_ + white * 1.0526913;
        return b0_ + b1_ + b2_ + white * 0.1848;
    }

private:
    double b0_ = 0.0, b1_ = 0.0, b2_ = 0.0;
};

std::vector<double> pinkNoise(std::size_t count, double rms, std::mt19937_64& random) {
    std::normal_distribution<double> normal;
    PinkFilter filter;
    std::vector<double> noise(count);
    double squares = 0.0;
    for (double& v : noise) {
        v = filter.next(normal(random));
        squares += v * v;
    }
    const double scale = count > 0 && squares > 0.0 ? rms / std::sqrt(squares / static_cast<double>(count)) : 0.0;
    for (double& v : noise) v *= scale;
    return noise;
}

void addNoise(std::vector<double>& signal, const RecordingChain& chain, double rate) {
    std::mt19937_64 random(chain.seed);
    std::normal_distribution<double> normal;
    const double white = kFullScale * std::pow(10.0, chain.whiteDbfs / 20.0);
    for (double& v : signal) v += chain.dcOffset + white * normal(random);
    if (chain.pinkDbfs > -300.0) {
        const std::vector<double> pink = pinkNoise(signal.size(), kFullScale * std::pow(10.0, chain.pinkDbfs / 20.0), random);
        for (std::size_t i = 0; i < signal.size(); ++i) signal[i] += pink[i];
    }
    const auto clicks = static_cast<std::size_t>(chain.clicksPerSecond * static_cast<double>(signal.size()) / rate);
    std::uniform_int_distribution<std::size_t> where(0, signal.empty() ? 0 : signal.size() - 1);
    for (std::size_t c = 0; c < clicks; ++c) signal[where(random)] += (c % 2 == 0 ? 1.0 : -1.0) * chain.clickLevel;
}

// Rounded to `bits` bits (as a recorder of that resolution stores it) with
// triangular dither of one step (unless told not to), then held in 16-bit samples.
std::vector<std::int16_t> stored(const std::vector<double>& signal, int bits, bool dither, std::uint64_t seed) {
    std::vector<std::int16_t> out(signal.size());
    const double step = bits < 16 ? std::ldexp(1.0, 16 - bits) : 1.0;
    std::mt19937_64 random(seed ^ 0x9e3779b97f4a7c15ULL);
    std::uniform_real_distribution<double> uniform(-0.5, 0.5);
    for (std::size_t i = 0; i < signal.size(); ++i) {
        double v = signal[i] / step;
        if (bits < 16 && dither) v += uniform(random) + uniform(random);
        const double rounded = std::round(v) * step;
        out[i] = static_cast<std::int16_t>(std::clamp(rounded, -32768.0, 32767.0));
    }
    return out;
}

}  // namespace

std::complex<double> deviceResponse(double hz) {
    const double octaves = std::log2(hz / 3000.0);
    const double db = -6.0 + 3.0 * std::exp(-octaves * octaves);
    const double phase = -2.0 * kPi * hz * 12.3e-6 + 0.4 * std::atan(octaves);
    return std::polar(std::pow(10.0, db / 20.0), phase);
}

IndependentRecording recordIndependently(const sweep::SweepPlan& plan, const RecordingChain& chain) {
    const sweep::SweepParameters& p = plan.params();
    const double rate = p.sampleRate;
    const double ratio = 1.0 + chain.recorderPpm * 1e-6;
    const std::vector<analysis::NominalTone> tones = analysis::nominalTones(plan);
    // The first pulse's start in played samples, well after the measurer's lead-in.
    const double pulse = sweep::measurerLeadInSamples(p) + sweep::syncSettlingSamples(p) + kLeadInSeconds * rate;
    const double end = pulse + static_cast<double>(tones.back().blockOffset + tones.back().length) + rate * 0.5;
    const auto count = static_cast<std::size_t>(std::ceil((end + chain.startFraction) * ratio));
    // Recorder sample n is played time n / ratio - startFraction.
    const auto played = [&](std::size_t n) { return static_cast<double>(n) / ratio - chain.startFraction; };
    std::vector<double> signal(count, 0.0);
    const double pulseLevel = kPulseGain * sweep::percentToAmplitude(p.syncPulseLevel);
    const double pulseLength = sweep::syncPulseSamples(p);
    const auto writePulse = [&](double start) {
        const auto first = static_cast<std::size_t>(std::ceil((start + chain.startFraction) * ratio));
        for (std::size_t n = first; n < count && played(n) < start + pulseLength; ++n)
            if (played(n) >= start) signal[n] = pulseLevel;
    };
    for (const analysis::NominalTone& tone : tones) {
        if (tone.syncBefore) writePulse(pulse + static_cast<double>(tone.pulseOffset));
        const double blockStart = pulse + static_cast<double>(tone.blockOffset);
        const std::complex<double> h = deviceResponse(tone.frequency);
        const double w = 2.0 * kPi * tone.frequency / rate;
        const double from = blockStart - kToneMargin;
        const double to = blockStart + tone.length + kToneMargin;
        const auto first = static_cast<std::size_t>(std::max(0.0, std::ceil((from + chain.startFraction) * ratio)));
        for (std::size_t n = first; n < count && played(n) < to; ++n)
            signal[n] = kFullScale * std::abs(h) * std::sin(w * (played(n) - blockStart) + std::arg(h));
    }
    addNoise(signal, chain, rate);
    IndependentRecording recording;
    recording.samples = stored(signal, chain.bits, chain.dither, chain.seed);
    // The trigger: the first recorder sample inside the pulse.
    const double trigger = std::ceil((pulse + chain.startFraction) * ratio);
    recording.triggerLag = played(static_cast<std::size_t>(trigger)) - pulse;
    recording.pulseStart = (pulse + chain.startFraction) * ratio;
    recording.ratio = ratio;
    return recording;
}

TrueTone trueTone(double hz, double sampleRate, double triggerLag) {
    const std::complex<double> h = deviceResponse(hz);
    return {kFullScale * std::abs(h), std::remainder(std::arg(h) + 2.0 * kPi * hz * triggerLag / sampleRate, 2.0 * kPi)};
}

double noiseFreeLag(const analysis::RecordingAnalysis& measured, const IndependentRecording& recording,
                    double rate) {
    std::vector<analysis::StartPhase> exact;
    for (const analysis::ToneMeasurement& tone : measured.sweep.tones) {
        const bool flagged = tone.steadiness && tone.steadiness->flag != analysis::ToneFlag::None;
        if (!tone.quality || !tone.quality->fitted || !tone.placed || flagged) continue;
        const TrueTone truth = trueTone(tone.frequency, rate, 0.0);
        exact.push_back({tone.frequency / rate, truth.amplitude, truth.phase, 1e-6, 0.0});
    }
    const analysis::OriginShift shift = analysis::originShift(exact, analysis::kOriginReach);
    // Without steady tones the start stays the pulse's trigger, as reported.
    return shift.valid ? shift.shift : recording.lagAt(measured.delaySamples);
}

}  // namespace auralyn::test
