// auralyn analyze on a quiet recording (a device 60 dB down, as a microphone
// far from a loudspeaker gives) made through `auralyn simulate` on a recorder
// 150 ppm fast: the tones' phases give the clock to thousandths of a ppm, the
// summary prints it so, and the same device on one clock reads the same phases.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "program_runs.h"

namespace auralyn {
namespace {

using test::ProgramRun;
using test::TempDir;

void run(const TempDir& dir, const std::vector<std::string>& args) {
    const ProgramRun r = test::auralyn(dir, args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
}

nlohmann::json analyzed(const TempDir& dir, const std::string& recording, std::string& out) {
    const ProgramRun r = test::auralyn(dir, {"analyze", recording, "s.swp", "--json", "a.json", "-o", "a.txt"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    out = r.out;
    return nlohmann::json::parse(test::readFileText(dir.file("a.json")));
}

TEST(QuietClockProgram, ADevice60DbDownIsTimedByItsTonesPhases) {
    TempDir dir;
    run(dir, {"sweep", "-q", "-o", "s.wav"});  // the default: 240 tones over half a minute
    run(dir, {"simulate", "s.wav", "fast.wav", "--gain", "-60", "--noise", "-100", "7", "--clock", "150"});
    run(dir, {"simulate", "s.wav", "one.wav", "--gain", "-60", "--noise", "-100", "8"});
    std::string out;
    const nlohmann::json fast = analyzed(dir, "fast.wav", out);
    const double ppm = fast["clock_ppm"].get<double>();
    const double u95 = fast["clock_ppm_u95"].get<double>();
    EXPECT_NEAR(ppm, 150.0, u95);
    EXPECT_LT(u95, 0.005);  // the tones' frequencies alone give it to a ppm or so
    // Four decimals where two would read 0.00: "(±0.0023 ppm)".
    const std::string open = "ppm against the sweep (\u00b1";
    const std::size_t at = out.find(open);
    ASSERT_NE(at, std::string::npos) << out;
    const std::size_t end = out.find(" ppm)", at);
    ASSERT_NE(end, std::string::npos) << out;
    const std::string interval = out.substr(at + open.size(), end - at - open.size());
    EXPECT_EQ(interval.size(), 6u) << interval;
    EXPECT_NEAR(std::stod(interval), u95, 5e-5) << interval;
    std::string outOne;
    const nlohmann::json one = analyzed(dir, "one.wav", outOne);
    ASSERT_EQ(fast["tones"].size(), one["tones"].size());
    std::size_t agreeing = 0;
    for (std::size_t i = 0; i < one["tones"].size(); ++i) {
        const nlohmann::json& a = fast["tones"][i];
        const nlohmann::json& b = one["tones"][i];
        const double difference = std::remainder(a["phase_deg"].get<double>() - b["phase_deg"].get<double>(), 360.0);
        const double allowed = std::hypot(a["phase_u95_deg"].get<double>(), b["phase_u95_deg"].get<double>());
        agreeing += std::fabs(difference) <= allowed ? 1 : 0;
        EXPECT_LT(std::fabs(difference), 0.5) << a["frequency_hz"];
    }
    EXPECT_GE(static_cast<double>(agreeing), 0.9 * static_cast<double>(one["tones"].size()));
}

}  // namespace
}  // namespace auralyn
