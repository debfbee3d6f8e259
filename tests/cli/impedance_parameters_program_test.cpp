// auralyn impedance and auralyn ts on drivers that auralyn simulate records
// behind a sense resistor: their impedance and parameters against the
// driver's own, Vas from an added mass, and the simulator's exact response of
// the wiring.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "impedance_drivers.h"
#include "program_runs.h"
#include "test_files.h"

namespace auralyn::test::drivers {
namespace {

TEST(ImpedanceProgram, SimulatedDriversGiveTheirImpedanceAndParameters) {
    TempDir dir;
    makeSweep(dir);
    const std::vector<std::pair<Driver, double>> cases = {{{6.2, 0.45, 38.0, 3.1, 0.42}, 10.0},
                                                          {{3.2, 0.1, 120.0, 1.5, 0.24}, 47.0},
                                                          {{7.5, 1.5, 22.0, 6.0, 1.4}, 1.0}};
    for (const auto& [driver, rs] : cases) {
        SCOPED_TRACE(driver.description() + " behind " + std::to_string(rs) + " ohm");
        simulateDriver(dir, "d.wav", driver, rs);
        const ProgramRun run = measureImpedance(dir, "d.wav", rs, "z.json");
        ASSERT_EQ(run.exitCode, 0) << run.err;
        expectImpedanceOf(readJson(dir, "z.json"), driver);
        const ProgramRun ts = test::auralyn(dir, {"ts", "z.json", "--json", "ts.json"});
        ASSERT_EQ(ts.exitCode, 0) << ts.err << ts.out;
        expectParameters(readJson(dir, "ts.json"), driver);
    }
}

TEST(ImpedanceProgram, AddedMassGivesVas) {
    TempDir dir;
    makeSweep(dir);
    const Driver driver{6.2, 0.45, 38.0, 3.1, 0.42};
    simulateDriver(dir, "free.wav", driver, 10.0);
    simulateDriver(dir, "mass.wav", driver, 10.0, {"--sd", "133", "--vas", "42.5", "--added-mass", "20"});
    ASSERT_EQ(measureImpedance(dir, "free.wav", 10.0, "free.json").exitCode, 0);
    ASSERT_EQ(measureImpedance(dir, "mass.wav", 10.0, "mass.json").exitCode, 0);
    const ProgramRun ts = test::auralyn(
        dir, {"ts", "free.json", "--sd", "133", "--added-mass", "20", "--loaded", "mass.json", "--json", "ts.json",
              "--plot", "ts.svg"});
    ASSERT_EQ(ts.exitCode, 0) << ts.err << ts.out;
    const nlohmann::json doc = readJson(dir, "ts.json");
    EXPECT_NEAR(doc["parameters"]["vas_l"]["value"].get<double>() / 42.5, 1.0, 0.05);
    EXPECT_NE(ts.out.find("Vas"), std::string::npos);
    const std::string svg = test::readFileText(dir.file("ts.svg"));
    EXPECT_NE(svg.find("impedance-band"), std::string::npos);
    EXPECT_NE(svg.find("fitted model"), std::string::npos);
}

TEST(SimulateDriver, PublishesTheWiringsExactResponseAndRefusesIncompleteDrivers) {
    TempDir dir;
    const Driver d{6.2, 0.45, 38.0, 3.1, 0.42};
    ProgramRun run = test::auralyn(dir, {"simulate", "--response", "38", "1000", "--driver", d.description(),
                                         "--sense-resistor", "10"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::istringstream lines(run.out);
    std::string line;
    std::getline(lines, line);
    for (double f : {38.0, 1000.0}) {
        ASSERT_TRUE(std::getline(lines, line));
        double frequency = 0, db = 0, degrees = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%lf, %lf, %lf", &frequency, &db, &degrees), 3) << line;
        const std::complex<double> h = d.impedance(f) / (10.0 + d.impedance(f));
        EXPECT_NEAR(db, 20 * std::log10(std::abs(h)), 1e-5);
        EXPECT_NEAR(degrees, std::arg(h) * 180 / kPi, 1e-5);
    }
    run = test::auralyn(dir, {"simulate", "--response", "38", "--driver", "Re=6 fs=38 Qms=3 Qes=0.4", "--sense-resistor", "10"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("le= is missing"), std::string::npos) << run.err;
    run = test::auralyn(dir, {"simulate", "--response", "38", "--driver", d.description()});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("--sense-resistor"), std::string::npos) << run.err;
    run = test::auralyn(dir, {"simulate", "--response", "38", "--driver", d.description(), "--sense-resistor", "10",
                              "--added-mass", "10"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("--sd"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace auralyn::test::drivers
