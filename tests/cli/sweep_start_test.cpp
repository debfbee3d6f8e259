// Where the sweep begins, as the console line and the JSON's summary give it.
#include <gtest/gtest.h>

#include <string>

#include "cli/sweep_start.h"

namespace auralyn::cli {
namespace {

SweepStart startAt(double delaySamples, analysis::TimeBase sync) { return {delaySamples, 0.5, 48000.0, sync}; }

TEST(SweepStart, TheLineSaysWhatTimedTheSweep) {
    EXPECT_EQ(startLine(startAt(73921.03, analysis::TimeBase::Sweep)),
              "Sweep begins at 1.540021 s (73921.030 samples, \u00b10.500), found by its tones");
    EXPECT_EQ(startLine(startAt(4800.0, analysis::TimeBase::Pulse)),
              "Sweep begins at 0.100000 s (4800.000 samples, \u00b10.500), found by its sync pulse, which its tones "
              "confirmed");
    EXPECT_EQ(startLine(startAt(0.0, analysis::TimeBase::Reference)),
              "Sweep begins at 0.000000 s (0.000 samples, \u00b10.500), found on the reference channel");
}

TEST(SweepStart, TheSummaryGivesSecondsAndTheTimeBaseByName) {
    const std::vector<SummaryField> fields = startSummaryFields(startAt(96000.0, analysis::TimeBase::Pulse));
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(fields[0].first, "delay_s");
    EXPECT_EQ(fields[0].second.get<double>(), 2.0);
    EXPECT_EQ(fields[1].first, "delay_u95_s");
    EXPECT_EQ(fields[1].second.get<double>(), 0.5 / 48000.0);
    EXPECT_EQ(fields[2].first, "sync");
    EXPECT_EQ(fields[2].second, "pulse");
    EXPECT_EQ(startSummaryFields(startAt(0.0, analysis::TimeBase::Reference))[2].second, "reference");
    EXPECT_EQ(startSummaryFields(startAt(0.0, analysis::TimeBase::Sweep))[2].second, "sweep");

    // Where the sweep was not found, every field is there and null.
    const std::vector<SummaryField> none = startSummaryFields(std::nullopt);
    ASSERT_EQ(none.size(), 3u);
    for (const SummaryField& field : none) EXPECT_TRUE(field.second.is_null()) << field.first;
}

}  // namespace
}  // namespace auralyn::cli
