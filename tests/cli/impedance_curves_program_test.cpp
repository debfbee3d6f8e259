// Impedance curves read back: auralyn ts refuses curves no driver makes and
// broken or missing files, and auralyn plot draws ZMA files and the
// impedance's JSON as impedance.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "impedance_drivers.h"
#include "program_runs.h"
#include "test_files.h"

namespace auralyn::test::drivers {
namespace {

TEST(TsProgram, CurvesNoDriverMakesAndBrokenFilesFail) {
    TempDir dir;
    std::ofstream(dir.file("flat.zma")) << "* a resistor\n10 8 0\n20 8 0\n40 8 0\n80 8 0\n160 8 0\n320 8 0\n640 8 0\n"
                                           "1280 8 0\n2560 8 0\n5120 8 0\n";
    ProgramRun run = test::auralyn(dir, {"ts", "flat.zma", "--json", "ts.json"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("the fit failed"), std::string::npos) << run.err;
    const nlohmann::json doc = readJson(dir, "ts.json");
    EXPECT_EQ(doc["fit"]["verdict"], "failed");
    EXPECT_FALSE(doc.contains("parameters"));

    std::ofstream(dir.file("broken.zma")) << "10 8 0\n5 8 0\n";
    run = test::auralyn(dir, {"ts", "broken.zma"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("line 2"), std::string::npos) << run.err;

    run = test::auralyn(dir, {"ts", "missing.zma"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("missing.zma: no such file"), std::string::npos) << run.err;
    std::filesystem::create_directory(dir.file("curves"));
    run = test::auralyn(dir, {"ts", "curves"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("curves: is a folder, not a file"), std::string::npos) << run.err;

    run = test::auralyn(dir, {"ts", "flat.zma", "--added-mass", "10"});
    EXPECT_EQ(run.exitCode, 2);
    run = test::auralyn(dir, {"ts", "flat.zma", "--sd", "-3"});
    EXPECT_EQ(run.exitCode, 2);
}

// plot draws ZMA files (and the impedance's JSON) as impedance: |Z| in ohms
// on a log axis over the phase, bands where the file holds intervals.
TEST(PlotProgram, DrawsImpedanceCurvesAsImpedance) {
    TempDir dir;
    makeSweep(dir);
    simulateDriver(dir, "d.wav", {6.2, 0.45, 38.0, 3.1, 0.42}, 10.0);
    ASSERT_EQ(measureImpedance(dir, "d.wav", 10.0, "z.json").exitCode, 0);
    ProgramRun run = test::auralyn(dir, {"plot", "z.json.zma", "z.json", "-o", "z.svg"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("z.json.zma: "), std::string::npos) << run.out;
    const std::string svg = test::readFileText(dir.file("z.svg"));
    EXPECT_NE(svg.find("impedance-point"), std::string::npos);
    EXPECT_NE(svg.find("impedance-band"), std::string::npos);  // the JSON's intervals
    EXPECT_EQ(svg.find("magnitude-point"), std::string::npos);  // not drawn as a frequency response

    std::ofstream(dir.file("r.csv")) << "frequency_hz,amplitude,magnitude_db,phase_deg\n100,32767,0,0\n200,32767,0,0\n";
    run = test::auralyn(dir, {"plot", "z.json.zma", "r.csv", "-o", "mixed.svg"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("cannot share a plot"), std::string::npos) << run.err;
    run = test::auralyn(dir, {"plot", "z.json.zma", "--smooth", "1/3", "-o", "smooth.svg"});
    EXPECT_EQ(run.exitCode, 2);
    std::ofstream(dir.file("bad.zma")) << "10 8 0\n5 8 0\n";
    run = test::auralyn(dir, {"plot", "bad.zma", "-o", "bad.svg"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("bad.zma: not an impedance curve: line 2"), std::string::npos) << run.err;
    for (const char* svgName : {"mixed.svg", "smooth.svg", "bad.svg"}) EXPECT_FALSE(test::exists(dir, svgName));
}

}  // namespace
}  // namespace auralyn::test::drivers
