// The 95 % intervals that averages and differences combine from their inputs
// hold the truth as often as they claim, over many noisy trials.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "known_responses.h"
#include "response/averaging.h"

namespace auralyn::response {
namespace {

constexpr double kMagnitudeU95 = 0.3;  // dB
constexpr double kPhaseU95 = 2.0;      // degrees

// A measurement of the truth with Gaussian errors matching its stated
// intervals (level in dB, phase in degrees).
Response noisy(const Response& truth, std::mt19937_64& random) {
    std::normal_distribution<double> level(0.0, kMagnitudeU95 / 1.96), phase(0.0, kPhaseU95 / 1.96);
    Response r = truth;
    for (Tone& tone : r.tones) {
        tone.magnitude *= fromDecibels(level(random));
        tone.phase += toRadians(phase(random));
        tone.magnitudeU95Db = kMagnitudeU95;
        tone.phaseU95Deg = kPhaseU95;
    }
    return r;
}

struct Coverage {
    std::size_t inside = 0, total = 0;
    void count(bool in) { inside += in ? 1 : 0, ++total; }
    double share() const { return static_cast<double>(inside) / static_cast<double>(total); }
};

void expectCoverage(const Coverage& c, const char* what) {
    EXPECT_GE(c.share(), 0.90) << what;
    EXPECT_LE(c.share(), 0.995) << what;
}

TEST(IntervalCoverage, AveragesAndDifferencesHoldTheTruthAsOftenAsClaimed) {
    const Response truth =
        test::sampled(test::logTones(3, 100.0, 10000.0), [](double f) { return test::analogHighpass(f, 300.0, 1.0); });
    std::mt19937_64 random(20261209);
    Coverage vectorLevel, vectorPhase, powerLevel, dbLevel, diffLevel, diffPhase;
    for (int trial = 0; trial < 300; ++trial) {
        const std::vector<NamedResponse> runs{{"a", noisy(truth, random)}, {"b", noisy(truth, random)},
                                              {"c", noisy(truth, random)}};
        const Average vector = average(runs, {AverageMode::vector, std::nullopt, true});
        const Average power = average(runs, {AverageMode::power, std::nullopt, false});
        const Average db = average(runs, {AverageMode::db, std::nullopt, false});
        const Response diff = difference(runs[0], runs[1]);
        for (std::size_t i = 0; i < truth.tones.size(); ++i) {
            const Tone& t = truth.tones[i];
            const auto phaseError = [&](const Tone& x) {
                return std::abs(toDegrees(std::remainder(x.phase - t.phase, 2.0 * kPi)));
            };
            const Tone& v = vector.response.tones[i];
            vectorLevel.count(std::abs(v.magnitudeDb() - t.magnitudeDb()) <= *v.magnitudeU95Db);
            vectorPhase.count(phaseError(v) <= *v.phaseU95Deg);
            const Tone& p = power.response.tones[i];
            powerLevel.count(std::abs(p.magnitudeDb() - t.magnitudeDb()) <= *p.magnitudeU95Db);
            const Tone& d = db.response.tones[i];
            dbLevel.count(std::abs(d.magnitudeDb() - t.magnitudeDb()) <= *d.magnitudeU95Db);
            const Tone& q = diff.tones[i];
            diffLevel.count(std::abs(q.magnitudeDb()) <= *q.magnitudeU95Db);
            diffPhase.count(std::abs(q.phaseDeg()) <= *q.phaseU95Deg);
        }
    }
    expectCoverage(vectorLevel, "vector average, level");
    expectCoverage(vectorPhase, "vector average, phase");
    expectCoverage(powerLevel, "power average, level");
    expectCoverage(dbLevel, "dB average, level");
    expectCoverage(diffLevel, "difference, level");
    expectCoverage(diffPhase, "difference, phase");
}

}  // namespace
}  // namespace auralyn::response
