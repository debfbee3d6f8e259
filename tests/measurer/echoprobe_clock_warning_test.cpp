// echoprobe's warning about a recorder whose clock differs from the player's:
// the program run end to end, the report and exit status as without it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "drifted_sweep.h"
#include "echoprobe_texts.h"
#include "run_program.h"
#include "sweep_recording.h"
#include "test_files.h"

namespace auralyn {
namespace {

using test::ProgramRun;
using test::TempDir;

struct Measured {
    ProgramRun run;
    std::string report;
};

Measured measure(const sweep::SweepPlan& plan, const std::vector<std::int16_t>& samples) {
    TempDir dir;
    test::writeWave(dir.file("rec.wav"), plan.params().sampleRate, samples);
    test::writeSweepParameters(dir.file("sweep.swp"), plan);
    Measured m;
    m.run = test::runProgram(ECHOPROBE_PATH, {}, "rec.wav\nsweep.swp\n\n\n", dir.path().string());
    m.run.out = test::withLineFeeds(m.run.out);
    m.report = test::withLineFeeds(test::readFileText(dir.file("rec.txt")));
    return m;
}

TEST(EchoprobeClockWarning, DriftingRecorderIsNamedAfterThePeakLine) {
    const sweep::SweepPlan plan = test::shortSweepPlan(48000, 16000.0);
    const Measured drifted = measure(plan, test::synthesiseDriftedSweep(plan, 20.0));
    EXPECT_EQ(drifted.run.exitCode, 0);
    const std::string warning = "\nWarning: the recorder's clock runs +20.0 ppm against the sweep's: phases drift by ";
    const std::size_t at = drifted.run.out.find(test::kFullScalePeak + warning);
    ASSERT_NE(at, std::string::npos) << drifted.run.out;
    const std::string rest = drifted.run.out.substr(at + test::kFullScalePeak.size() + warning.size());
    EXPECT_NE(rest.find("`auralyn analyze` corrects it." + test::kEndPrompt), std::string::npos) << rest;
    EXPECT_EQ(rest.find('\n'), rest.find(test::kEndPrompt)) << "one line";
    // The report itself is echoprobe's, line for line as many tones.
    EXPECT_EQ(std::count(drifted.report.begin(), drifted.report.end(), '\n'), 10 + 5);

    const Measured slow = measure(plan, test::synthesiseDriftedSweep(plan, -35.0));
    EXPECT_NE(slow.run.out.find(test::kFullScalePeak +
                                "\nWarning: the recorder's clock runs -35.0 ppm against the sweep's"),
              std::string::npos)
        << slow.run.out;
}

TEST(EchoprobeClockWarning, OneClockOrHarmlessDriftGivesNoLine) {
    const sweep::SweepPlan plan = test::shortSweepPlan(48000, 16000.0);
    const Measured straight = measure(plan, test::synthesiseSweep(plan));
    EXPECT_EQ(straight.run.exitCode, 0);
    EXPECT_NE(straight.run.out.find(test::kFullScalePeak + test::kEndPrompt), std::string::npos) << straight.run.out;
    EXPECT_EQ(straight.run.out.find("Warning"), std::string::npos);
    // 0.5 ppm is measurable on this sweep but turns its phases by less than a degree.
    const Measured slight = measure(plan, test::synthesiseDriftedSweep(plan, 0.5));
    EXPECT_EQ(slight.run.out.find("Warning"), std::string::npos) << slight.run.out;
    // Tones clipped flat on one clock bias the figure a little; that is no second clock.
    std::vector<std::int16_t> clipped = test::synthesiseSweep(plan);
    for (std::int16_t& sample : clipped) sample = static_cast<std::int16_t>(std::clamp(3 * sample, -32767, 32767));
    const Measured flat = measure(plan, clipped);
    EXPECT_EQ(flat.run.out.find("Warning"), std::string::npos) << flat.run.out;
    // The drifted recording's report equals what a sample-exact copy of it gives.
    EXPECT_EQ(straight.report, measure(plan, test::synthesiseDriftedSweep(plan, 0.0)).report);
}

}  // namespace
}  // namespace auralyn
