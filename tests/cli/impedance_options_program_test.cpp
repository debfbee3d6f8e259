// auralyn impedance's options on a simulated driver: the drive given in volts
// where the drive channel is calibrated, and the wirings and command lines it
// refuses (swapped or missing channels, a sense resistor of nothing, an
// output over an input).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "impedance_drivers.h"
#include "program_runs.h"
#include "test_files.h"

namespace auralyn::test::drivers {
namespace {

// The drive in volts: from a voltmeter's reading (the median tone), or from
// a profile's volts calibration of the input; else dBFS only.
TEST(ImpedanceProgram, TheDriveIsGivenInVoltsWhereTheDriveChannelIsCalibrated) {
    TempDir dir;
    makeSweep(dir);
    simulateDriver(dir, "d.wav", {6.2, 0.45, 38.0, 3.1, 0.42}, 10.0);
    ProgramRun run = test::auralyn(dir, {"impedance", "d.wav", "s.swp", "--sense-resistor", "10", "--json", "dbfs.json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const nlohmann::json uncalibrated = readJson(dir, "dbfs.json");  // kept alive while its tones are read
    for (const nlohmann::json& t : uncalibrated["tones"]) EXPECT_TRUE(t["drive_volts"].is_null());

    run = test::auralyn(dir, {"impedance", "d.wav", "s.swp", "--sense-resistor", "10", "--drive-volts", "2.83",
                              "--json", "v.json", "--csv", "v.csv"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const nlohmann::json volts = readJson(dir, "v.json");
    std::vector<double> v;
    const nlohmann::json& first = volts["tones"][0];
    for (const nlohmann::json& t : volts["tones"]) {
        v.push_back(t["drive_volts"].get<double>());
        // Every tone against the first by its level in dBFS.
        EXPECT_NEAR(20 * std::log10(v.back() / first["drive_volts"].get<double>()),
                    t["drive_dbfs"].get<double>() - first["drive_dbfs"].get<double>(), 1e-9);
    }
    std::sort(v.begin(), v.end());
    EXPECT_NEAR(v[v.size() / 2], 2.83, 1e-9);
    EXPECT_NE(test::readFileText(dir.file("v.csv")).find(",drive_dbfs,drive_volts\n"), std::string::npos);

    // A profile: 1 V RMS reads -12 dBFS at the input, so a drive at -1 dBFS is 10^(11/20) V.
    std::ofstream(dir.file("p.json")) << R"({"auralyn_calibration_profile": 1, "input": {"dbfs_at_1_vrms": -12.0, "source": "given"}})";
    run = test::auralyn(dir, {"impedance", "d.wav", "s.swp", "--sense-resistor", "10", "--calibration", "p.json",
                              "--json", "p.out.json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const nlohmann::json profiled = readJson(dir, "p.out.json");
    for (const nlohmann::json& t : profiled["tones"])
        EXPECT_NEAR(t["drive_volts"].get<double>(), std::pow(10.0, (t["drive_dbfs"].get<double>() + 12.0) / 20.0), 1e-9);

    run = test::auralyn(dir, {"impedance", "d.wav", "s.swp", "--sense-resistor", "10", "--drive-volts", "0"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("--drive-volts must be above 0"), std::string::npos) << run.err;
    std::ofstream(dir.file("broken.json")) << "{";
    run = test::auralyn(dir, {"impedance", "d.wav", "s.swp", "--sense-resistor", "10", "--calibration", "broken.json",
                              "-o", "b.zma"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("broken.json"), std::string::npos) << run.err;
    EXPECT_FALSE(test::exists(dir, "b.zma"));
}

TEST(ImpedanceProgram, HostileWiringsAndCommandLines) {
    TempDir dir;
    makeSweep(dir);
    simulateDriver(dir, "d.wav", {6.2, 0.45, 38.0, 3.1, 0.42}, 10.0);

    ProgramRun run = test::auralyn(dir, {"impedance", "d.wav", "s.swp", "--sense-resistor", "10", "--channel", "2",
                                         "--reference-channel", "1", "-o", "z.zma"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("swapped"), std::string::npos) << run.err;
    EXPECT_FALSE(test::exists(dir, "z.zma"));

    run = test::auralyn(dir, {"impedance", "d.wav", "s.swp", "--sense-resistor", "0"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("--sense-resistor must be above 0"), std::string::npos) << run.err;

    run = test::auralyn(dir, {"impedance", "s.wav", "s.swp", "--sense-resistor", "10"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("has one channel"), std::string::npos) << run.err;

    run = test::auralyn(dir, {"impedance", "d.wav", "s.swp", "--sense-resistor", "10", "--reference-channel", "3"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("--reference-channel 3 is not one of them"), std::string::npos) << run.err;

    run = test::auralyn(dir, {"impedance", "d.wav", "s.swp"});
    EXPECT_EQ(run.exitCode, 2);

    run = test::auralyn(dir, {"measure", "--impedance", "-q"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("--impedance needs --sense-resistor"), std::string::npos) << run.err;

    run = test::auralyn(dir, {"impedance", "d.wav", "s.swp", "--sense-resistor", "10", "--csv", "d.wav"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("is an input"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace auralyn::test::drivers
