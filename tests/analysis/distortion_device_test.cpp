// Measurements through simulated devices whose answers are known exactly:
// a polynomial nonlinearity (harmonics from the power-reduction identities),
// the plain sweep (16-bit rounding only), white noise of known level, and a
// linear filter measured against echoprobe's tone analyzer.
#ifdef AURALYN_HAVE_SIMULATION
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <vector>

#include "device_sweep.h"
#include "simulation/gaussian_noise.h"
#include "simulation/nonlinearity.h"
#include "analysis/tone_quality.h"
#include "measurer/tone_analyzer.h"

namespace auralyn::test {
namespace {

using analysis::ToneQuality;
constexpr double kTwoPi = 6.283185307179586;

analysis::ToneQuality measure(const SimulatedSweep& sweep, const TonePlace& tone) {
    return analysis::measureTone(sweep.block(tone), tone.length, 0.0, tone.frequency / sweep.sampleRate,
                                    sweep.leadInSpan());
}

double db(double ratio) { return 20.0 * std::log10(ratio); }

TEST(Nonlinearity, PowerReductionSeriesReproducesThePolynomial) {
    const std::vector<double> coefficients = {0.3, -0.2, 0.1, 0.05, -0.04};
    const simulation::HarmonicSeries series = simulation::polynomialHarmonics(coefficients, 0.8);
    for (double theta = 0.0; theta < kTwoPi; theta += 0.37) {
        double fromSeries = 0.0;
        for (std::size_t k = 0; k < series.sine.size(); ++k)
            fromSeries += series.cosine[k] * std::cos(k * theta) + series.sine[k] * std::sin(k * theta);
        const double direct = simulation::applyPolynomial(coefficients, 0.8 * 32767.0 * std::sin(theta)) / 32767.0;
        EXPECT_NEAR(fromSeries, direct, 1e-12) << theta;
    }
}

TEST(Nonlinearity, ClippedSineSeriesMatchesItsFourierSum) {
    const double level = simulation::clipLimit(-3.0) / 32767.0;
    const simulation::HarmonicSeries series = simulation::clipHarmonics(level, 1.0, 9);
    const int points = 1 << 16;
    for (int k = 1; k <= 9; ++k) {
        double sum = 0.0;
        for (int i = 0; i < points; ++i) {
            const double theta = kTwoPi * (i + 0.5) / points;
            sum += std::clamp(std::sin(theta), -level, level) * std::sin(k * theta);
        }
        EXPECT_NEAR(series.sine[k], 2.0 * sum / points, 1e-6) << k;
    }
    EXPECT_EQ(simulation::clipHarmonics(1.0, 0.5, 3).sine[1], 0.5);  // below the level: untouched
}

// The plain sweep through y = x + a2 x^2 + a3 x^3 + a5 x^5: H2 -50, H3 -56 and
// H5 -75 dBc at full scale (H3 = -a3/4 - 5 a5/16), and no sample beyond it.
const std::vector<double> kPolynomial = {2.0 * std::pow(10.0, -50.0 / 20.0), -0.0098966, 0.0, 0.0028453};

TEST(DistortionMeasurement, PolynomialDeviceHarmonicsAreThoseOfThePowerReduction) {
    const SimulatedSweep sweep = deviceSweep(defaultSweep(), {{simulation::PolynomialPart{kPolynomial}}});
    const simulation::HarmonicSeries exact = simulation::polynomialHarmonics(kPolynomial, 1.0);
    const double fundamental = exact.amplitude(1);
    ASSERT_NEAR(db(exact.amplitude(2) / fundamental), -50.0, 0.2);
    ASSERT_NEAR(db(exact.amplitude(3) / fundamental), -56.0, 0.2);
    ASSERT_NEAR(db(exact.amplitude(5) / fundamental), -75.0, 0.2);
    const double exactThd = std::hypot(exact.amplitude(2), exact.amplitude(3), exact.amplitude(5)) / fundamental;
    double worst[4] = {};  // H2, H3, H5, THD
    double worstOther = -400.0;
    double worstFundamental = 0.0;
    int checked = 0;
    for (const TonePlace& tone : sweep.tones) {
        // Above this, harmonics of the device fold back below half the rate.
        if (5.0 * tone.frequency >= sweep.sampleRate / 2.0) continue;
        ++checked;
        const analysis::ToneQuality q = measure(sweep, tone);
        ASSERT_TRUE(q.fitted && q.harmonicDbc[5] && q.thdDb) << tone.frequency;
        const double errors[4] = {*q.harmonicDbc[2] - db(exact.amplitude(2) / fundamental),
                                  *q.harmonicDbc[3] - db(exact.amplitude(3) / fundamental),
                                  *q.harmonicDbc[5] - db(exact.amplitude(5) / fundamental), *q.thdDb - db(exactThd)};
        for (int i = 0; i < 4; ++i) worst[i] = std::max(worst[i], std::fabs(errors[i]));
        EXPECT_LE(std::fabs(errors[0]), 0.1) << tone.frequency;
        EXPECT_LE(std::fabs(errors[1]), 0.1) << tone.frequency;
        EXPECT_LE(std::fabs(errors[2]), 0.2) << tone.frequency;
        EXPECT_LE(std::fabs(errors[3]), 0.1) << tone.frequency;
        for (int k = 4; k <= analysis::kMaxHarmonic; ++k) {
            if (k == 5 || !q.harmonicDbc[k]) continue;
            worstOther = std::max(worstOther, *q.harmonicDbc[k]);
            EXPECT_LT(*q.harmonicDbc[k], -90.0) << tone.frequency << " H" << k;
        }
        const double fundamentalError = db(q.amplitude / (fundamental * 32767.0));
        worstFundamental = std::max(worstFundamental, std::fabs(fundamentalError));
        EXPECT_LE(std::fabs(fundamentalError), 0.01) << tone.frequency;
    }
    EXPECT_GT(checked, 150);
    std::printf("polynomial device, %d tones: worst |error| H2 %.4f dB, H3 %.4f dB, H5 %.4f dB, THD %.4f dB, "
                "fundamental %.5f dB; highest other harmonic %.1f dBc\n",
                checked, worst[0], worst[1], worst[2], worst[3], worstFundamental, worstOther);
}

TEST(DistortionMeasurement, PlainSweepStaysAtTheSixteenBitLimit) {
    const SimulatedSweep sweep = plainSweep(defaultSweep());
    double worstThd = -400.0;
    double worstThdn = -400.0;
    for (const TonePlace& tone : sweep.tones) {
        const analysis::ToneQuality q = measure(sweep, tone);
        ASSERT_TRUE(q.fitted && q.thdnDb) << tone.frequency;
        EXPECT_LE(*q.thdnDb, -80.0) << tone.frequency;
        worstThdn = std::max(worstThdn, *q.thdnDb);
        if (!q.thdDb) continue;  // no harmonic below half the rate
        EXPECT_LE(*q.thdDb, -85.0) << tone.frequency;
        worstThd = std::max(worstThd, *q.thdDb);
    }
    std::printf("plain sweep, %zu tones: highest THD %.1f dB, highest THD+N %.1f dB\n", sweep.tones.size(), worstThd,
                worstThdn);
}

double wrappedDegrees(double radians) {
    double d = std::remainder(radians, kTwoPi) * 360.0 / kTwoPi;
    return d;
}

constexpr double kHeadroomDb = -1.0;

struct Coverage {
    int tones = 0;
    int magnitudeInside = 0;        // tones whose magnitude interval holds the truth
    int phaseInside = 0;            // tones whose phase interval holds it
    double worstFloorError = 0.0;   // dB: the noise floor against its theory, the largest miss
    double meanFloorError = 0.0;    // dB, signed
};

Coverage noiseCoverage(double dbfs, const std::vector<std::uint64_t>& seeds) {
    Coverage c;
    const double sigma = std::sqrt(std::pow(simulation::noiseSigmaForLevel(dbfs), 2) + 1.0 / 12.0);
    for (std::uint64_t seed : seeds) {
        // 1 dB of headroom, so that the noise never reaches the ends of the range.
        const SimulatedSweep sweep =
            deviceSweep(defaultSweep(), {{simulation::GainPart{kHeadroomDb}, simulation::NoisePart{dbfs, seed}}});
        for (const TonePlace& tone : sweep.tones) {
            const analysis::ToneQuality q = measure(sweep, tone);
            EXPECT_TRUE(q.fitted && q.levelDbfs && q.noiseFloorDbfs);
            if (!q.fitted || !q.levelDbfs || !q.noiseFloorDbfs) continue;
            ++c.tones;
            if (std::fabs(*q.levelDbfs - kHeadroomDb) <= q.magnitudeU95Db) ++c.magnitudeInside;
            if (std::fabs(wrappedDegrees(q.phase)) <= q.phaseU95Deg) ++c.phaseInside;
            const double theory = db(2.0 * sigma / std::sqrt(static_cast<double>(tone.length)) / 32767.0);
            const double error = *q.noiseFloorDbfs - theory;
            c.worstFloorError = std::max(c.worstFloorError, std::fabs(error));
            c.meanFloorError += error;
        }
    }
    c.meanFloorError /= c.tones;
    return c;
}

TEST(DistortionMeasurement, IntervalsHoldTheTruthNinetyFivePercentOfTheTime) {
    for (const double dbfs : {-40.0, -60.0}) {
        const Coverage c = noiseCoverage(dbfs, dbfs == -40.0 ? std::vector<std::uint64_t>{1, 2, 3, 4}
                                                             : std::vector<std::uint64_t>{5, 6, 7, 8});
        const double magnitude = 100.0 * c.magnitudeInside / c.tones;
        const double phase = 100.0 * c.phaseInside / c.tones;
        std::printf("noise %g dBFS, %d tones over 4 seeds: magnitude inside %.1f %%, phase inside %.1f %%; "
                    "noise floor error worst %.2f dB, mean %+.2f dB\n",
                    dbfs, c.tones, magnitude, phase, c.worstFloorError, c.meanFloorError);
        EXPECT_GE(magnitude, 90.0) << dbfs;
        EXPECT_LE(magnitude, 99.5) << dbfs;
        EXPECT_GE(phase, 90.0) << dbfs;
        EXPECT_LE(phase, 99.5) << dbfs;
        EXPECT_LE(c.worstFloorError, 2.0) << dbfs;
    }
}

TEST(DistortionMeasurement, FundamentalAgreesWithTheToneAnalyzerOnALinearDevice) {
    simulation::FilterSettings lowpass;
    lowpass.kind = simulation::FilterKind::LowPass;
    lowpass.frequency = 6000.0;
    lowpass.q = 0.9;
    const SimulatedSweep sweep = deviceSweep(defaultSweep(), {{simulation::GainPart{-6.0}, lowpass}});
    measurer::ToneAnalyzer analyzer;
    analyzer.setSampleRate(sweep.sampleRate);
    double worstDb = 0.0;
    double worstDeg = 0.0;
    for (const TonePlace& tone : sweep.tones) {
        const std::vector<std::int16_t> codes(sweep.block(tone), sweep.block(tone) + tone.length);
        analyzer.setSamples(codes.data());
        analyzer.setTone(tone.frequency, static_cast<std::int32_t>(tone.length));
        const analysis::ToneQuality q = measure(sweep, tone);
        if (analyzer.amplitude() < 32767.0 * 1e-2) continue;  // far down the filter's slope
        const double dbError = db(q.amplitude / analyzer.amplitude());
        const double degError = wrappedDegrees(q.phase - analyzer.phase());
        worstDb = std::max(worstDb, std::fabs(dbError));
        worstDeg = std::max(worstDeg, std::fabs(degError));
        EXPECT_LE(std::fabs(dbError), 0.001) << tone.frequency;
        EXPECT_LE(std::fabs(degError), 0.05) << tone.frequency;
    }
    std::printf("linear device: fit against tone analyzer, worst %.5f dB, %.4f degrees\n", worstDb, worstDeg);
}

}  // namespace
}  // namespace auralyn::test
#endif
