// How the sweep-target cases record a device and read its tones against the
// device's exact response.
#include "sweep_targets.h"

#ifdef AURALYN_HAVE_SWEEP_LOCATOR
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>

#include "analysis/sweep_origin.h"
#include "clock_test_recordings.h"
#include "sample_vectors.h"

namespace auralyn::test::targets {
namespace {

const char* syncName(analysis::TimeBase base) {
    return base == analysis::TimeBase::Pulse ? "pulse" : base == analysis::TimeBase::Sweep ? "sweep" : "reference";
}

// The start a noise-free recording of the device gives, from the pulse's
// first sample as played: phases refer to the peak of the sweep's
// matched-filter envelope, which the device's own phase moves by a fixed lag.
// Found from the device's exact response at the very tones the measurement
// placed the start with (steady ones clear of the noise), each weighted by its level as
// the measurement weights it. Each phase's interval must hold the error of the
// measured start as well as the tone's own.
double noiseFreeLag(const Device& d, const analysis::RecordingAnalysis& result) {
    std::vector<analysis::StartPhase> exact;
    for (const analysis::ToneMeasurement& t : result.sweep.tones) {
        if (!t.placesStart) continue;
        const std::complex<double> h = d.gain * responseOf(d.sections, t.frequency, kRate);
        exact.push_back({t.frequency / kRate, t.quality->amplitude, std::arg(h), 1e-6, 0.0});
    }
    const analysis::OriginShift shift = analysis::originShift(exact, analysis::kOriginReach);
    return shift.valid ? shift.shift : 0.0;
}

// Each tone of `result` against the device's exact response `lag` samples
// later. At an SNR the tone's noise alone moves it by 1/snr (amplitude) and
// 1/snr radians (one sigma): five of those where that is more than 0.02 dB
// and 0.5 degrees.
void compareTones(const Device& d, const analysis::RecordingAnalysis& result, double lag, Figures& f) {
    for (const analysis::ToneMeasurement& t : result.sweep.tones) {
        if (!t.quality || !t.quality->fitted) continue;
        const analysis::ToneQuality& q = *t.quality;
        const std::complex<double> h = d.gain * responseOf(d.sections, t.frequency, kRate);
        const bool flagged = t.steadiness && t.steadiness->flag == analysis::ToneFlag::BelowNoise;
        f.belowNoise += flagged ? 1 : 0;
        const double trueDbfs = 20.0 * std::log10(std::abs(h));
        // A tone 10 dB under the noise floor is noise: it must not read as measured.
        if (q.noiseFloorDbfs && trueDbfs < *q.noiseFloorDbfs - 10.0 && !flagged) ++f.noiseTonesMeasured;
        if (!q.snrDb || *q.snrDb < 40.0 || t.clipped) continue;
        const double dDb = 20.0 * std::log10(q.amplitude / kFullScale) - trueDbfs;
        const double truePhase = std::arg(h) + 2.0 * kPi * t.frequency * lag / kRate;
        const double dDeg = std::remainder(q.phase - truePhase, 2.0 * kPi) * 180.0 / kPi;
        const double noise = std::pow(10.0, -*q.snrDb / 20.0);
        const double limitDb = std::max(0.02, 5.0 * 20.0 * std::log10(1.0 + noise));
        const double limitDeg = std::max(0.5, 5.0 * noise * 180.0 / kPi);
        ++f.compared;
        f.unsteady += t.steadiness && t.steadiness->flag == analysis::ToneFlag::Unsteady ? 1 : 0;
        f.worstDb = std::max(f.worstDb, std::fabs(dDb));
        f.worstDeg = std::max(f.worstDeg, std::fabs(dDeg));
        f.worstOverLimit = std::max({f.worstOverLimit, std::fabs(dDb) / limitDb, std::fabs(dDeg) / limitDeg});
        f.covered += std::fabs(dDb) <= q.magnitudeU95Db ? 1 : 0;
        f.phaseCovered += std::fabs(dDeg) <= q.phaseU95Deg ? 1 : 0;
    }
}

// Whether and by what the sweep was found, and its clock against the true `ppm`.
Figures foundBy(const analysis::RecordingAnalysis& result, double ppm) {
    Figures f;
    f.located = result.located;
    if (!result.located) return f;
    f.sync = syncName(result.sync);
    f.clockError = result.clock.ppm - ppm;
    f.clockU95 = result.clock.u95;
    return f;
}

}  // namespace

const sweep::SweepPlan& plan() {
    static const sweep::SweepPlan p = defaultSweep(0);
    return p;
}

const std::vector<double>& played() {
    static const std::vector<double> p = playedSweep(plan());
    return p;
}

std::vector<analysis::Sample> recording(const Device& d, double delay, double ppm, std::uint64_t seed) {
    const double ratio = 1.0 + ppm * 1e-6;
    const auto length = static_cast<std::size_t>(static_cast<double>(played().size()) * ratio + delay + 24000.0);
    return asSamples(toPcm16(recordedAt(filtered(played(), d.sections), delay, ratio, length), d.gain, d.noiseRms, seed));
}

Figures measure(const Device& d, double ppm, double delay, std::uint64_t seed) {
    const std::vector<analysis::Sample> samples = recording(d, delay, ppm, seed);
    const analysis::RecordingAnalysis result = analysis::analyzeRecording(plan(), {samples, nullptr});
    Figures f = foundBy(result, ppm);
    if (!f.located) return f;
    f.delayU95 = result.delayU95Samples;
    const double lag = noiseFreeLag(d, result);  // played samples
    const double ratio = 1.0 + ppm * 1e-6;
    f.delayError = result.delaySamples - (delay + (static_cast<double>(playedOrigin(plan())) + lag) * ratio);
    compareTones(d, result, lag, f);
    return f;
}

// The device recorded beside a wire from the output on the same clock, the
// wire 1 dB down so that its noise does not clip the sweep's full-scale
// tones: the device over the wire is its exact response over the wire's
// gain, with no delay.
Figures measureOverReference(const Device& d, double ppm, double delay, std::uint64_t seed) {
    constexpr double kWireGain = 0.891;
    const std::vector<analysis::Sample> device = recording(d, delay, ppm, seed);
    const std::vector<analysis::Sample> wire = recording(Device{"wire", {}, kWireGain}, delay, ppm, seed + 1);
    const analysis::RecordingAnalysis result = analysis::analyzeRecording(plan(), {device, &wire});
    Figures f = foundBy(result, ppm);
    if (!f.located) return f;
    Device overWire = d;
    overWire.gain /= kWireGain;
    compareTones(overWire, result, 0.0, f);
    return f;
}

void printRow(const std::string& name, double ppm, const Figures& f) {
    std::printf("| %-26s | %+4.0f | %-5s | %3zu | %6.3f | %6.2f | %5.2f | %3zu/%-3zu | %3zu/%-3zu | %3zu | %3zu | %+7.3f ± %5.3f | %+7.3f ± %5.3f |\n",
                name.c_str(), ppm, f.located ? f.sync.c_str() : "NONE", f.compared, f.worstDb, f.worstDeg,
                f.worstOverLimit, f.covered, f.compared, f.phaseCovered, f.compared, f.belowNoise,
                f.noiseTonesMeasured, f.clockError, f.clockU95, f.delayError, f.delayU95);
}

void printHeader() {
    // b.n: tones flagged below the noise; n.m: tones 10 dB under it read as measured (must be 0).
    std::printf("| %-26s | %4s | %-5s | %3s | %6s | %6s | %5s | %7s | %7s | %3s | %3s | %15s | %15s |\n", "device", "ppm",
                "sync", "n", "dB", "deg", "lim x", "dB cov", "deg cov", "b.n", "n.m", "clock error, u95",
                "start error, u95");
}

Biquad lowPass(double hz) { return butterworthLowPass(hz, kRate); }
Biquad highPass(double hz) { return butterworthHighPass(hz, kRate); }

void expectHonest(const Figures& f, const std::string& name) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(f.located);
    EXPECT_GT(f.compared, 20u);
    EXPECT_GE(static_cast<double>(f.covered), 0.9 * static_cast<double>(f.compared));
    EXPECT_GE(static_cast<double>(f.phaseCovered), 0.9 * static_cast<double>(f.compared));
    EXPECT_EQ(f.noiseTonesMeasured, 0u);
    EXPECT_LE(std::fabs(f.clockError), f.clockU95);
    EXPECT_LE(std::fabs(f.delayError), f.delayU95);
}

}  // namespace auralyn::test::targets
#endif  // AURALYN_HAVE_SWEEP_LOCATOR
