// auralyn process run as a user runs it: on responses of known systems
// written here, on what auralyn analyze writes, and on hostile files.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "program_runs.h"
#include "response_texts.h"

namespace auralyn {
namespace {

using test::ProgramRun;
using test::TempDir;

using test::csvColumn;
using test::csvOf;
using test::jsonOf;
using test::kPi;
using test::lines;
using test::logTones;
using test::writeText;

std::complex<double> bandPass(double f) {
    const std::complex<double> s(0.0, f / 80.0), t(0.0, f / 6000.0);
    return s * s / (s * s + s / 0.7 + 1.0) / (t * t + t / 0.7 + 1.0);
}

TEST(ProcessProgram, FindsAndRemovesADelayAndWritesCsvJsonAndFrd) {
    TempDir dir;
    const double delay = 123.45 / 48000.0;
    writeText(dir, "in.json", jsonOf(csvOf(logTones(24), [delay](double f) {
        return bandPass(f) * std::polar(1.0, -2.0 * kPi * f * delay);
    }), 48000.0));
    const ProgramRun run = test::auralyn(dir, {"process", "in.json", "--delay", "auto", "--min-phase", "--csv", "out.csv",
                                               "--json", "out.json", "--frd", "out.frd"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    double ms = 0.0, samples = 0.0, metres = 0.0;
    ASSERT_EQ(std::sscanf(run.out.c_str(), "Delay: %lf ms (%lf samples at 48000 Hz, %lf m at 343 m/s)", &ms, &samples, &metres), 3)
        << run.out;
    EXPECT_NEAR(samples, 123.45, 1.0);
    EXPECT_NEAR(ms, samples / 48.0, 0.0001);
    EXPECT_NEAR(metres, ms * 0.343, 0.0001);

    const nlohmann::json doc = nlohmann::json::parse(test::readFileText(dir.file("out.json")));
    EXPECT_NEAR(doc["delay_s"].get<double>() * 48000.0, 123.45, 1.0);
    EXPECT_EQ(doc["delay_removed_s"], doc["delay_s"]);
    EXPECT_EQ(doc["sample_rate"], 48000.0);
    const std::string csv = test::readFileText(dir.file("out.csv"));
    EXPECT_EQ(lines(csv)[0], "frequency_hz,amplitude,magnitude_db,phase_deg,group_delay_ms,min_phase_deg,"
                             "excess_phase_deg,excess_group_delay_ms,sample_rate_hz");
    const std::vector<double> f = csvColumn(csv, "frequency_hz"), excess = csvColumn(csv, "excess_phase_deg");
    for (std::size_t i = 0; i < f.size(); ++i) {
        if (f[i] < 80.0 || f[i] > 5000.0) continue;
        EXPECT_NEAR(excess[i], 0.0, 2.0) << f[i];  // the delay is gone
    }

    // FRD as crossover tools read it: comments first, then ascending rows of
    // three numbers with four decimals, phase within ±180°, ASCII.
    const std::vector<std::string> frd = lines(test::readFileText(dir.file("out.frd")));
    ASSERT_EQ(frd.size(), f.size() + 1);
    EXPECT_EQ(frd[0].rfind("* ", 0), 0u);
    double previous = 0.0;
    for (std::size_t i = 1; i < frd.size(); ++i) {
        ASSERT_TRUE(test::isFourDecimalRow(frd[i])) << frd[i];
        double freq, db, deg;
        std::sscanf(frd[i].c_str(), "%lf %lf %lf", &freq, &db, &deg);
        EXPECT_GT(freq, previous);
        EXPECT_LE(std::abs(deg), 180.0);
        previous = freq;
    }
    for (const std::string& line : frd)
        for (char c : line) EXPECT_TRUE(c >= 0x20 && c < 0x7f);
}

TEST(ProcessProgram, SmoothsAndResamplesAndReadsItsOwnFrdBack) {
    TempDir dir;
    writeText(dir, "in.csv", csvOf(logTones(48), bandPass));
    ProgramRun run = test::auralyn(dir, {"process", "in.csv", "--smooth", "1/3", "--smooth-mode", "db",
                                         "--points-per-octave", "3", "--frd", "third.frd", "--phase", "unwrapped"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> frd = lines(test::readFileText(dir.file("third.frd")));
    EXPECT_EQ(frd.size(), 1u + 29u);  // 1 kHz·2^(k/3) for k = -16..12
    EXPECT_EQ(frd[17].rfind("1000.0000 ", 0), 0u) << frd[17];
    run = test::auralyn(dir, {"process", "third.frd", "--csv", "back.csv"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(csvColumn(test::readFileText(dir.file("back.csv")), "frequency_hz").size(), 29u);
}

TEST(ProcessProgram, AveragesAndDividesAsDefined) {
    TempDir dir;
    const std::vector<double> tones = logTones(6, 100.0, 10000.0);
    writeText(dir, "a.csv", csvOf(tones, bandPass));
    writeText(dir, "b.csv", csvOf(tones, [](double f) { return 0.5 * bandPass(f) * std::polar(1.0, 0.1); }));
    ProgramRun run = test::auralyn(dir, {"process", "average", "a.csv", "b.csv", "--mode", "power", "--csv", "p.csv"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string csv = test::readFileText(dir.file("p.csv"));
    const std::vector<double> f = csvColumn(csv, "frequency_hz"), db = csvColumn(csv, "magnitude_db"),
                              spread = csvColumn(csv, "spread_db");
    ASSERT_EQ(f.size(), tones.size());
    for (std::size_t i = 0; i < f.size(); ++i) {
        const double a = std::abs(bandPass(f[i]));
        EXPECT_NEAR(db[i], 10.0 * std::log10((a * a + 0.25 * a * a) / 2.0), 1e-9);
        EXPECT_NEAR(spread[i], 20.0 * std::log10(2.0) / std::sqrt(2.0), 1e-9);
    }
    run = test::auralyn(dir, {"process", "diff", "a.csv", "b.csv", "--json", "d.json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const nlohmann::json diff = nlohmann::json::parse(test::readFileText(dir.file("d.json")));
    for (const auto& tone : diff["tones"]) {
        EXPECT_NEAR(tone["magnitude_db"].get<double>(), 20.0 * std::log10(2.0), 1e-9);
        EXPECT_NEAR(tone["phase_deg"].get<double>(), -0.1 * 180.0 / kPi, 1e-9);
    }
}

TEST(ProcessProgram, VectorAveragesOfDisagreeingPhasesAreRefusedUnlessForced) {
    TempDir dir;
    const std::vector<double> tones = logTones(6, 100.0, 10000.0);
    writeText(dir, "a.csv", csvOf(tones, bandPass));
    writeText(dir, "b.csv", csvOf(tones, [](double f) { return bandPass(f) * std::polar(1.0, -2.0 * kPi * f * 1e-3); }));
    ProgramRun run = test::auralyn(dir, {"process", "average", "a.csv", "b.csv", "--mode", "vector", "--csv", "v.csv"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("auralyn: b.csv: its phase disagrees with a.csv's"), std::string::npos) << run.err;
    EXPECT_FALSE(test::exists(dir, "v.csv"));
    run = test::auralyn(dir, {"process", "average", "a.csv", "b.csv", "--mode", "vector", "--force", "--csv", "v.csv"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
}

TEST(ProcessProgram, BadInputIsRefusedNamingTheFileAndWritesNothing) {
    TempDir dir;
    const std::string header = "frequency_hz,amplitude,magnitude_db,phase_deg\n";
    writeText(dir, "one.csv", header + "100,1,0,0\n");
    writeText(dir, "down.csv", header + "200,1,0,0\n100,1,0,0\n");
    writeText(dir, "nan.csv", header + "100,1,nan,0\n200,1,0,0\n");
    writeText(dir, "narrow.csv", header + "1000,1,0,0\n1100,1,0,0\n");
    writeText(dir, "r48.json", jsonOf(csvOf(logTones(3), bandPass), 48000.0));
    writeText(dir, "r44.json", jsonOf(csvOf(logTones(3), bandPass), 44100.0));
    const std::vector<std::pair<std::vector<std::string>, std::string>> failures{
        {{"process", "one.csv", "--csv", "out.csv"}, "auralyn: one.csv: a response needs at least two tones"},
        {{"process", "down.csv", "--csv", "out.csv"}, "auralyn: down.csv: the frequencies must increase"},
        {{"process", "nan.csv", "--csv", "out.csv"}, "auralyn: nan.csv, line 2, column magnitude_db: 'nan' is not a finite number"},
        {{"process", "narrow.csv", "--smooth", "1/3", "--csv", "out.csv"}, "is wider than the whole curve"},
        {{"process", "average", "r48.json", "r44.json", "--csv", "out.csv"}, "auralyn: r44.json: measured at 44100 Hz, but r48.json at 48000 Hz"},
        {{"process", "missing.csv", "--csv", "out.csv"}, "auralyn: missing.csv: cannot be read"},
    };
    for (const auto& [args, message] : failures) {
        const ProgramRun run = test::auralyn(dir, args);
        EXPECT_EQ(run.exitCode, 1) << args[1];
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_FALSE(test::exists(dir, "out.csv")) << args[1];
    }
    const std::vector<std::vector<std::string>> usage{
        {"process", "r48.json", "--smooth", "1/0", "--csv", "out.csv"},
        {"process", "r48.json", "--delay", "soon", "--csv", "out.csv"},
        {"process", "r48.json", "--smooth-mode", "complex", "--csv", "out.csv"},
        {"process", "r48.json"},
        {"process", "r48.json", "--csv", "r48.json"},
        {"process", "average", "r48.json", "--csv", "out.csv"},
        {"process", "average", "r48.json", "r48.json", "--mode", "median", "--csv", "out.csv"},
    };
    for (const auto& args : usage) {
        const ProgramRun run = test::auralyn(dir, args);
        EXPECT_EQ(run.exitCode, 2) << args.back() << run.err;
        EXPECT_FALSE(test::exists(dir, "out.csv"));
    }
}

TEST(ProcessProgram, ReadsWhatAnalyzeWrites) {
    TempDir dir;
    ProgramRun run = test::auralyn(dir, {"sweep", "-q", "-o", "s.wav", "--rate", "44100", "--start", "100", "--end",
                                         "10000", "--step", "6"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    run = test::auralyn(dir, {"analyze", "s.wav", "s.swp", "--quiet", "--csv", "a.csv", "--json", "a.json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const char* input : {"a.csv", "a.json"}) {
        run = test::auralyn(dir, {"process", input, "--smooth", "1/3", "--delay", "auto", "--min-phase", "--csv", "p.csv"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::string csv = test::readFileText(dir.file("p.csv"));
        EXPECT_NE(lines(csv)[0].find("frequency_measured_hz"), std::string::npos);  // carried along
        EXPECT_NE(lines(csv)[0].find("excess_group_delay_ms"), std::string::npos);
        for (double db : csvColumn(csv, "magnitude_db")) EXPECT_NEAR(db, 0.0, 0.1);  // the sweep through a wire
    }
}

TEST(PlotProgram, DrawsFrdCurvesWithGroupDelayMinimumPhaseAndATarget) {
    TempDir dir;
    const double delay = 1e-3;
    writeText(dir, "in.csv", csvOf(logTones(24), [delay](double f) {
        return bandPass(f) * std::polar(1.0, -2.0 * kPi * f * delay);
    }));
    ProgramRun run = test::auralyn(dir, {"process", "in.csv", "--frd", "speaker.frd"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    writeText(dir, "target.txt", "* a falling target\n20 3\n20000 -3\n");
    run = test::auralyn(dir, {"plot", "speaker.frd", "-o", "p.svg", "--smooth", "1/6", "--delay", "auto", "--group-delay",
                              "--min-phase", "--target", "target.txt"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    double ms = 0.0;
    ASSERT_EQ(std::sscanf(run.out.c_str(), "speaker.frd: Delay: %lf ms", &ms), 1) << run.out;
    EXPECT_NEAR(ms, 1.0, 1.0 / 48.0);
    const std::string svg = test::readFileText(dir.file("p.svg"));
    EXPECT_NE(svg.find("Group delay (ms)"), std::string::npos);
    EXPECT_NE(svg.find("class=\"group-delay-point\""), std::string::npos);
    EXPECT_NE(svg.find("target.txt (target, "), std::string::npos);
    run = test::auralyn(dir, {"plot", "speaker.frd", "-o", "q.svg", "--target", "target.txt", "--target-offset", "-2.5"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(test::readFileText(dir.file("q.svg")).find("target.txt (target, -2.50 dB)"), std::string::npos);

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"plot", "speaker.frd", "--smooth", "1/200"},
          std::vector<std::string>{"plot", "speaker.frd", "--target", "target.txt", "--target-offset", "some"},
          std::vector<std::string>{"plot", "speaker.frd", "--delay", "later"}}) {
        run = test::auralyn(dir, args);
        EXPECT_EQ(run.exitCode, 2) << args.back();
        EXPECT_NE(run.err.find("auralyn: plot: "), std::string::npos) << run.err;
    }
    writeText(dir, "one.frd", "1000 0 0\n");
    run = test::auralyn(dir, {"plot", "one.frd", "--smooth", "1/3", "-o", "r.svg"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("one.frd: a response needs at least two tones"), std::string::npos) << run.err;
    EXPECT_FALSE(test::exists(dir, "r.svg"));
}

}  // namespace
// plot and process take the same smoothing modes and refuse the same words,
// each on its own command line.
TEST(ProcessingOptions, PlotAndProcessTakeTheSameSmoothingModes) {
    TempDir dir;
    writeText(dir, "in.csv", csvOf(logTones(24), bandPass));
    ASSERT_EQ(test::auralyn(dir, {"process", "in.csv", "--frd", "in.frd"}).exitCode, 0);
    const std::vector<std::string> process{"process", "in.csv", "--csv", "out.csv"};
    const std::vector<std::string> plot{"plot", "in.frd", "-o", "out.svg"};
    for (const std::vector<std::string>& command : {process, plot}) {
        std::vector<std::string> args = command;
        args.insert(args.end(), {"--smooth-mode", "variable"});
        ProgramRun run = test::auralyn(dir, args);
        EXPECT_EQ(run.exitCode, 0) << command[0] << ": " << run.err;
        args.back() = "median";
        run = test::auralyn(dir, args);
        EXPECT_EQ(run.exitCode, 2) << command[0];
        EXPECT_NE(run.err.find("auralyn: " + command[0] + ": --smooth-mode"), std::string::npos) << run.err;
    }
}

}  // namespace auralyn
