// The options give the very record the dialogue gives for the same answers, and
// refuse what the dialogue would silently ask again for.
#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/number_text.h"
#include "cli/sweep_options.h"
#include "generator/parameter_dialogue.h"
#include "scratch_stream.h"

namespace auralyn::cli {
namespace {

// The saved file of a plan, the run-time fields of its last rewind included.
std::string savedRecord(sweep::SweepPlan plan) {
    plan.lock();
    test::ScratchStream out;
    EXPECT_TRUE(plan.writeParameters(out.get()));
    return out.text();
}

sweep::SweepPlan planFromDialogue(const std::string& answers) {
    test::ScratchStream in(answers);
    test::ScratchStream out;
    generator::ConsoleInput input{in.get(), out.get(), false};
    sweep::SweepPlan plan;
    EXPECT_TRUE(generator::askSweepParameters(plan, input));
    return plan;
}

sweep::SweepPlan planFromOptions(const SweepOptions& options) {
    sweep::SweepPlan plan;
    std::string error;
    EXPECT_TRUE(storeSweepOptions(options, plan, error)) << error;
    return plan;
}

using O = SweepOptions;

// Options with the given fields set, the others left out.
SweepOptions optionsGiving(std::initializer_list<std::pair<std::optional<std::string> O::*, const char*>> given) {
    SweepOptions options;
    for (const auto& [field, text] : given) options.*field = text;
    return options;
}

// The same for a linear sweep.
SweepOptions linearGiving(std::initializer_list<std::pair<std::optional<std::string> O::*, const char*>> given) {
    SweepOptions options = optionsGiving(given);
    options.linear = true;
    return options;
}

struct Case {
    SweepOptions options;
    std::string answers;  // questions 1 to 9, then the advanced ones (from a pipe the rest
                          // of the yes/no line is the first of them)
};

TEST(SweepOptions, GiveTheDialoguesRecordForTheSameAnswers) {
    std::vector<Case> cases;
    cases.push_back({SweepOptions{}, "\n\n\n\n\n\n\n\nn\n"});
    // The rate is truncated to 44100, as the dialogue does.
    cases.push_back({linearGiving({{&O::rate, "44100.9"}, {&O::start, "1000"}, {&O::end, "1000.3"}, {&O::step, "0.1"}}),
                     "44100.9\n2\n1000\n1000.3\n0.1\n\n\n\nn\n"});
    cases.push_back({optionsGiving({{&O::rate, "8000"}, {&O::start, "0.1"}, {&O::step, "3.5"}, {&O::minDuration, "0.1"},
                                    {&O::settling, "0.005"}, {&O::tonesPerSync, "7.9"},
                                    {&O::maxFractionalCycle, "0.01"}, {&O::maxExtraSamples, "3000"}}),
                     "8000\n1\n0.1\n\n3.5\n0.1\n0.005\n7.9\ny\n\n0.01\n3000\n\n"});
    cases.push_back({optionsGiving({{&O::rate, "96000"}, {&O::end, "48000"}, {&O::tonesPerSync, "4294967295"},
                                    {&O::syncLevel, "10"}, {&O::minCycles, "199.7"}, {&O::maxDrift, "1"}}),
                     "96000\n\n\n48000\n\n\n\n4294967295\ny10\n199.7\n\n\n1\n"});
    for (const Case& c : cases) {
        EXPECT_EQ(savedRecord(planFromOptions(c.options)), savedRecord(planFromDialogue(c.answers))) << c.answers;
    }
}

TEST(SweepOptions, RefuseWhatTheDialogueWouldAskAgainFor) {
    struct Refusal {
        SweepOptions options;
        std::string message;
    };
    const Refusal refusals[] = {
        {optionsGiving({{&O::rate, "7999"}}), "--rate: 7999 is out of range; expected a number from 8000 to 96000"},
        {optionsGiving({{&O::rate, "48000Hz"}}),
         "--rate: '48000Hz' is not a number; expected a number from 8000 to 96000"},
        {optionsGiving({{&O::start, ""}}), "--start: '' is not a number; expected a number from 0.1 to 24000"},
        {optionsGiving({{&O::rate, "8000"}, {&O::start, "4000.5"}}),
         "--start: 4000.5 is out of range; expected a number from 0.1 to 4000"},
        {optionsGiving({{&O::start, "21000"}}),
         "--end: the default 20000 lies below --start 21000; give --end (expected a number from 21000 to 24000)"},
        {optionsGiving({{&O::step, "5001"}}), "--step: 5001 is out of range; expected a number from 0.1 to 5000"},
        {linearGiving({{&O::step, "0.001"}}),
         "--step: 0.001 is out of range; expected a number from 0.01 to 10000000000"},
        {optionsGiving({{&O::tonesPerSync, "4294967296"}}),
         "--tones-per-sync: 4294967296 is out of range; expected a number from 0 to 4294967295"},
        {optionsGiving({{&O::maxDrift, "nan"}}), "--max-drift: nan is out of range; expected a number from 0 to 1"},
        {optionsGiving({{&O::syncLevel, " 50"}}),
         "--sync-level: ' 50' is not a number; expected a number from 10 to 100"},
    };
    for (const Refusal& r : refusals) {
        sweep::SweepPlan plan;
        std::string error;
        EXPECT_FALSE(storeSweepOptions(r.options, plan, error));
        EXPECT_EQ(error, r.message);
    }
}

TEST(SweepOptions, RangeBoundsAreTaken) {
    SweepOptions o;
    o.rate = "96000";
    o.start = "48000";
    o.end = "48000";
    o.settling = "1";
    sweep::SweepPlan plan = planFromOptions(o);
    EXPECT_EQ(plan.params().startFrequency, 48000.0);
    EXPECT_EQ(plan.params().endFrequency, 48000.0);
}

TEST(NumberText, WholeNumbersOnlyAsStrtodReadsThem) {
    EXPECT_EQ(wholeNumber("1e3"), 1000.0);
    EXPECT_EQ(wholeNumber("0x10"), 16.0);
    EXPECT_EQ(wholeNumber("-0.5"), -0.5);
    EXPECT_FALSE(wholeNumber("5 "));
    EXPECT_FALSE(wholeNumber("abc"));
    EXPECT_EQ(shortestText(0.1), "0.1");
    EXPECT_EQ(shortestText(0.0002), "0.0002");
    EXPECT_EQ(shortestText(1e10), "10000000000");
    EXPECT_EQ(shortestText(22050.5), "22050.5");
}

}  // namespace
}  // namespace auralyn::cli
