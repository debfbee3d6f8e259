// Averages against their definitions, differences, and the refusals.
#include <gtest/gtest.h>

#include <cmath>

#include "known_responses.h"
#include "response/averaging.h"

namespace auralyn::response {
namespace {

// Two runs of one system with a level difference and a small phase offset.
std::vector<NamedResponse> twoRuns(double secondGainDb, double secondPhaseDeg) {
    const std::vector<double> tones = test::logTones(6, 100.0, 10000.0);
    Response a = test::sampled(tones, [](double f) { return test::analogHighpass(f, 300.0, 1.0); });
    Response b = a;
    for (Tone& tone : b.tones) tone.magnitude *= fromDecibels(secondGainDb), tone.phase += toRadians(secondPhaseDeg);
    for (Response* r : {&a, &b})
        for (Tone& tone : r->tones) tone.magnitudeU95Db = 0.2, tone.phaseU95Deg = 2.0;
    return {{"a.csv", a}, {"b.csv", b}};
}

TEST(Average, VectorPowerAndDbAveragesAreTheirDefinitions) {
    const std::vector<NamedResponse> runs = twoRuns(3.0, 4.0);
    const Average vector = average(runs, {AverageMode::vector, std::nullopt, false});
    const Average power = average(runs, {AverageMode::power, std::nullopt, false});
    const Average db = average(runs, {AverageMode::db, std::nullopt, false});
    for (std::size_t i = 0; i < runs[0].response.tones.size(); ++i) {
        const Tone& a = runs[0].response.tones[i];
        const Tone& b = runs[1].response.tones[i];
        const std::complex<double> mean = (a.value() + b.value()) / 2.0;
        EXPECT_NEAR(vector.response.tones[i].magnitude, std::abs(mean), 1e-12);
        EXPECT_NEAR(std::remainder(vector.response.tones[i].phase - std::arg(mean), 2 * kPi), 0.0, 1e-12);
        EXPECT_NEAR(power.response.tones[i].magnitude,
                    std::sqrt((a.magnitude * a.magnitude + b.magnitude * b.magnitude) / 2.0), 1e-12);
        EXPECT_NEAR(db.response.tones[i].magnitudeDb(), (a.magnitudeDb() + b.magnitudeDb()) / 2.0, 1e-9);
        EXPECT_NEAR(db.response.tones[i].phase, a.phase + toRadians(2.0), 1e-9);  // circular mean
        EXPECT_NEAR(power.spreadDb[i], 3.0 / std::sqrt(2.0), 1e-9);  // sample standard deviation of {x, x + 3}
        EXPECT_NEAR(*db.response.tones[i].magnitudeU95Db, std::sqrt(2.0 * 0.04) / 2.0, 1e-12);
        EXPECT_NEAR(*db.response.tones[i].phaseU95Deg, std::sqrt(2.0 * 4.0) / 2.0, 1e-6);
    }
}

TEST(Average, VectorIntervalsOfIdenticalInputsShrinkByRootTwo) {
    const std::vector<NamedResponse> runs = twoRuns(0.0, 0.0);
    const Average vector = average(runs, {AverageMode::vector, std::nullopt, false});
    for (const Tone& tone : vector.response.tones) {
        EXPECT_NEAR(*tone.magnitudeU95Db, 0.2 / std::sqrt(2.0), 1e-9);
        EXPECT_NEAR(*tone.phaseU95Deg, 2.0 / std::sqrt(2.0), 1e-9);
    }
}

TEST(Average, VectorAveragingRefusesPhasesThatDisagreeUnlessForced) {
    const std::vector<NamedResponse> runs = twoRuns(0.0, 30.0);
    try {
        average(runs, {AverageMode::vector, std::nullopt, false});
        FAIL() << "no refusal";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("b.csv: its phase disagrees with a.csv's"), std::string::npos) << e.what();
    }
    const Average forced = average(runs, {AverageMode::vector, std::nullopt, true});
    EXPECT_TRUE(forced.response.tones[0].flags & kPhaseDisagrees);
    EXPECT_NO_THROW(average(runs, {AverageMode::power, std::nullopt, false}));
}

TEST(Average, AlignLevelLevelsEveryInputToTheFirstAtAFrequency) {
    const std::vector<NamedResponse> runs = twoRuns(-6.0, 0.0);
    const Average db = average(runs, {AverageMode::db, 1000.0, false});
    for (std::size_t i = 0; i < db.response.tones.size(); ++i)
        EXPECT_NEAR(db.response.tones[i].magnitude, runs[0].response.tones[i].magnitude, 1e-9);
    ASSERT_EQ(db.notes.size(), 1u);
    EXPECT_EQ(db.notes[0], "b.csv: levelled by +6.000 dB at 1000 Hz");
    EXPECT_THROW(average(runs, {AverageMode::db, 50.0, false}), Error);
}

TEST(Average, OtherToneListsAreInterpolatedOntoTheFirstsAndSaidSo) {
    std::vector<NamedResponse> runs = twoRuns(0.0, 0.0);
    runs[1].response = test::sampled(test::logTones(7, 50.0, 20000.0), [](double f) { return test::analogHighpass(f, 300.0, 1.0); });
    const Average power = average(runs, {AverageMode::power, std::nullopt, false});
    EXPECT_EQ(power.response.tones.size(), runs[0].response.tones.size());
    ASSERT_FALSE(power.notes.empty());
    EXPECT_NE(power.notes[0].find("interpolated"), std::string::npos);
    for (std::size_t i = 0; i < power.response.tones.size(); ++i)
        EXPECT_NEAR(power.response.tones[i].magnitudeDb(), runs[0].response.tones[i].magnitudeDb(), 0.3);
}

TEST(Average, RefusesTooFewInputsAndMixedSampleRates) {
    std::vector<NamedResponse> runs = twoRuns(0.0, 0.0);
    EXPECT_THROW(average({runs[0]}, {}), Error);
    runs[0].response.sampleRate = 48000.0;
    runs[1].response.sampleRate = 44100.0;
    try {
        average(runs, {});
        FAIL() << "no refusal";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("b.csv: measured at 44100 Hz, but a.csv at 48000 Hz", 0), 0u) << e.what();
    }
}

TEST(Difference, IsAOverBComplexWithCombinedIntervals) {
    const std::vector<NamedResponse> runs = twoRuns(-2.0, 10.0);
    const Response d = difference(runs[0], runs[1]);
    for (const Tone& tone : d.tones) {
        EXPECT_NEAR(tone.magnitudeDb(), 2.0, 1e-9);
        EXPECT_NEAR(tone.phaseDeg(), -10.0, 1e-9);
        EXPECT_NEAR(*tone.magnitudeU95Db, std::hypot(0.2, 0.2), 1e-12);
    }
}

}  // namespace
}  // namespace auralyn::response
