// auralyn plot as a user runs it: reports and CSV files in, a plot and FRD files out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "run_program.h"
#include "test_files.h"
#include "wave_samples.h"

namespace auralyn::test {
namespace {

const std::string kAuralyn = AURALYN_PATH;
const std::string kPython = "/usr/bin/python3";
const std::string kRsvgConvert = "/usr/bin/rsvg-convert";

const std::string kHeader =
    "Input file, \"speaker.wav\"\nSampling rate, 48000 Hz\nMinimum tone duration, 0.020 sec\n"
    "Tones per sync pulse, 0\nSettling time, 0.040 sec\nMinimum cycles per tone, 10\n"
    "Maximum fractional cycle, 1.000\nMaximum extra samples, 400\nMaximum time drift, 0.0002 sec\n"
    "Frequency, Amplitude, Norm. Amp., Norm. Amp. (dB), Phase (deg)\n";

// A real parser, not a pattern match: prints the number of point markers of
// each class, or fails with the parser's message.
const std::string kCountPoints =
    "import sys, xml.etree.ElementTree as ET\n"
    "root = ET.parse(sys.argv[1]).getroot()\n"
    "ns = '{http://www.w3.org/2000/svg}'\n"
    "assert root.tag == ns + 'svg', root.tag\n"
    "circles = [c.get('class') for c in root.iter(ns + 'circle')]\n"
    "title = ''.join(root.find(ns + 'text').itertext())\n"
    "print(circles.count('magnitude-point'), circles.count('phase-point'), title)\n";

ProgramRun echoplot(const TempDir& dir, std::vector<std::string> args) {
    args.insert(args.begin(), "plot");
    return runProgram(kAuralyn, args, "", dir.path().string());
}

std::string countPoints(const TempDir& dir, const std::string& svg) {
    const ProgramRun run = runProgram(kPython, {"-c", kCountPoints, svg}, "", dir.path().string());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return run.out;
}

std::vector<std::string> filesIn(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string sweepTable(int tones) {
    std::string table;
    char line[96];
    for (int i = 0; i < tones; ++i) {
        const double frequency = 20.0 * std::pow(2.0, i / 3.0);
        std::snprintf(line, sizeof line, "%.2f, %.1f, 1.00000, 0.000, %.2f\n", frequency,
                      32767.0 / std::sqrt(1.0 + std::pow(frequency / 5000.0, 4.0)), -0.036 * frequency);
        table += line;
    }
    return table;
}

TEST(EchoplotProgram, WritesAWellFormedPlotAndAnFrdFile) {
    if (!std::filesystem::exists(kPython)) GTEST_SKIP() << "python3 is needed to parse the SVG";
    TempDir dir;
    writeTextFile(dir.file("speaker.txt"), kHeader + sweepTable(30));
    const ProgramRun run = echoplot(dir, {"speaker.txt", "--frd"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Plot: speaker.svg"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("FRD:  speaker.frd"), std::string::npos) << run.out;
    EXPECT_EQ(countPoints(dir, "speaker.svg"), "30 30 Frequency response of \"speaker.wav\", 48000 Hz\n");

    const std::string frd = readFileText(dir.file("speaker.frd"));
    EXPECT_EQ(std::count(frd.begin(), frd.end(), '\n'), 31);
    EXPECT_EQ(frd.substr(0, frd.find(" measured ")), "* Frequency response of \"speaker.wav\" at 48000 Hz,");
    const std::size_t second = frd.find('\n') + 1;
    EXPECT_EQ(frd.substr(second, frd.find('\n', second) - second), "20.00 0.0000 -0.72");
    EXPECT_EQ(filesIn(dir), (std::vector<std::string>{"speaker.frd", "speaker.svg", "speaker.txt"}));
}

TEST(EchoplotProgram, RendersWithAnSvgRenderer) {
    if (!std::filesystem::exists(kRsvgConvert)) GTEST_SKIP() << "rsvg-convert is not installed";
    TempDir dir;
    writeTextFile(dir.file("r.txt"), kHeader + sweepTable(10));
    ASSERT_EQ(echoplot(dir, {"r.txt", "-o", "plot.svg"}).exitCode, 0);
    const ProgramRun run = runProgram(kRsvgConvert, {"plot.svg", "-o", "plot.png"}, "", dir.path().string());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const Bytes png = readFileBytes(dir.file("plot.png"));
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png[1], 'P');
    EXPECT_EQ(png[2], 'N');
}

TEST(EchoplotProgram, FileNamesFromAnyCodePageStayValidXml) {
    if (!std::filesystem::exists(kPython)) GTEST_SKIP() << "python3 is needed to parse the SVG";
    TempDir dir;
    std::string header = kHeader;
    header.replace(0, header.find('\n'), "Input file, \"<b>&\"caf\xE9\x01\".wav\"");
    writeTextFile(dir.file("odd.txt"), header + sweepTable(3));
    const ProgramRun run = echoplot(dir, {"odd.txt", "-o", "odd-plot.svg", "--frd"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(countPoints(dir, "odd-plot.svg"), "3 3 Frequency response of \"<b>&\"caf??\".wav\", 48000 Hz\n");
    EXPECT_TRUE(std::filesystem::exists(dir.file("odd.frd")));
}

TEST(EchoplotProgram, SilentTonesAreLeftOutWithAWarning) {
    if (!std::filesystem::exists(kPython)) GTEST_SKIP() << "python3 is needed to parse the SVG";
    TempDir dir;
    writeTextFile(dir.file("r.txt"), kHeader + "100.00, 5000.0, 1.50000, 3.522, 10.00\n"
                                               "200.00, 0.0, 0.00000, -Inf, 0.00\n"
                                               "400.00, 1666.7, 0.50000, -6.021, -30.00\n");
    const ProgramRun run = echoplot(dir, {"r.txt", "--frd"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("auralyn: warning: 1 tones with an amplitude of 0 were left out of r.txt"),
              std::string::npos);
    EXPECT_EQ(countPoints(dir, "r.svg").substr(0, 4), "2 2 ");
    const std::string frd = readFileText(dir.file("r.frd"));
    EXPECT_EQ(frd.substr(frd.find('\n') + 1), "100.00 -16.3293 10.00\n400.00 -25.8716 -30.00\n");
}

TEST(EchoplotProgram, RefusesWhatIsNotACompleteReport) {
    TempDir dir;
    writeTextFile(dir.file("header.txt"), kHeader.substr(0, kHeader.find("Frequency,")));
    writeTextFile(dir.file("silent.txt"), kHeader + "100.00, 0.0, undef, undef, 0.00\n200.00, 0.0, undef, undef, 0.00\n");
    writeTextFile(dir.file("notes.txt"), "Shopping list\n");
    writeFileBytes(dir.file("binary.txt"), Bytes(300, 0xFF));
    const std::vector<std::string> before = filesIn(dir);
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"header.txt"}, "header.txt, the report holds its header but no results"},
        {{"silent.txt"}, "every tone has an amplitude of 0"},
        {{"notes.txt"}, "notes.txt, line 1: expected 'Input file"},
        {{"binary.txt"}, "binary.txt, line 1"},
        {{"missing.txt"}, "missing.txt: cannot be read"},
        {{"notes.txt", "-o", "notes.txt"}, "would overwrite the measurement"},
        {{"notes.txt", "-o", "notes.frd", "--frd"}, "would overwrite each other"},
        {{"header.txt", "notes.txt"}, "header.txt, the report holds its header"},
    };
    for (const auto& [args, message] : cases) {
        const ProgramRun run = echoplot(dir, args);
        EXPECT_EQ(run.exitCode, 1) << args[0];
        EXPECT_EQ(run.err.rfind("auralyn: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_EQ(filesIn(dir), before) << args[0];
    }
    ProgramRun run = echoplot(dir, {});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("MEASUREMENT"), std::string::npos) << run.err;
    run = echoplot(dir, {"a.txt", "--normalize", "0"});
    EXPECT_EQ(run.exitCode, 2);
    run = echoplot(dir, {"a.txt", "--frd", "--colour"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(filesIn(dir), before);
    run = echoplot(dir, {"--help"});
    EXPECT_EQ(run.exitCode, 0);
    for (const char* option : {"MEASUREMENT", "--output", "--frd", "--normalize HZ", ".svg"})
        EXPECT_NE(run.out.find(option), std::string::npos) << option << "\n" << run.out;
}

// Prints the legend's labels and the colours of the magnitude curves' paths.
const std::string kLegend =
    "import sys, xml.etree.ElementTree as ET\n"
    "root = ET.parse(sys.argv[1]).getroot()\n"
    "ns = '{http://www.w3.org/2000/svg}'\n"
    "labels = [''.join(t.itertext()) for t in root.iter(ns + 'text') if t.get('class') == 'legend-label']\n"
    "colours = sorted(set(c.get('fill') for c in root.iter(ns + 'circle')))\n"
    "print('|'.join(labels), len(colours))\n";

const std::string kCsvHeader = "frequency_hz,amplitude,magnitude_db,phase_deg,thd_percent\n";

TEST(EchoplotProgram, DrawsReportsAndCsvFilesTogetherWithALegend) {
    if (!std::filesystem::exists(kPython)) GTEST_SKIP() << "python3 is needed to parse the SVG";
    TempDir dir;
    writeTextFile(dir.file("speaker.txt"), kHeader + sweepTable(30));
    // A later column, an empty magnitude (taken from the amplitude) and a tone with no values.
    writeTextFile(dir.file("woofer.csv"), kCsvHeader + "100,16383.5,-6.0206,-10,0.1\n200,8191.75,,-20,\n"
                                                       "400,,,,\n800,4095.875,-18.0618,-40,0.3\n");
    writeTextFile(dir.file("tweeter.csv"), kCsvHeader.substr(0, kCsvHeader.find(",thd")) +
                                               "\r\n1000,32767,0,0\r\n2000,32767,0,-5\r\n");
    const ProgramRun run = echoplot(dir, {"speaker.txt", "woofer.csv", "tweeter.csv", "--frd", "-o", "all.svg"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("warning: 1 tones with an amplitude of 0 were left out of woofer.csv"), std::string::npos);
    EXPECT_EQ(countPoints(dir, "all.svg"), "35 35 Frequency response of 3 measurements\n");
    const ProgramRun legend = runProgram(kPython, {"-c", kLegend, "all.svg"}, "", dir.path().string());
    EXPECT_EQ(legend.out, "speaker.txt|woofer.csv|tweeter.csv 3\n") << legend.err;
    const std::string frd = readFileText(dir.file("woofer.frd"));
    EXPECT_EQ(frd.rfind("* Frequency response, measured ", 0), 0u) << frd;
    EXPECT_EQ(frd.substr(frd.find('\n') + 1), "100.00 -6.0206 -10.00\n200.00 -12.0412 -20.00\n800.00 -18.0618 -40.00\n");
    EXPECT_EQ(filesIn(dir), (std::vector<std::string>{"all.svg", "speaker.frd", "speaker.txt", "tweeter.csv",
                                                      "tweeter.frd", "woofer.csv", "woofer.frd"}));
}

TEST(EchoplotProgram, NormalizesEveryCurveAtOneFrequency) {
    TempDir dir;
    writeTextFile(dir.file("a.csv"), kCsvHeader + "100,,-10,0,\n1000,,-20,0,\n");
    writeTextFile(dir.file("b.csv"), kCsvHeader + "100,,-3,0,\n400,,-3,0,\n");
    // 200 Hz lies 0.30103 of the decade from 100 Hz: a at -13.0103 dB, b at -3 dB.
    ProgramRun run = echoplot(dir, {"a.csv", "b.csv", "--normalize", "200"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string svg = readFileText(dir.file("a.svg"));
    EXPECT_NE(svg.find("normalized to 0 dB at 200 Hz"), std::string::npos);

    run = echoplot(dir, {"a.csv", "b.csv", "--normalize", "500", "-o", "c.svg"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("auralyn: b.csv: --normalize 500 Hz lies outside the measured frequencies (100 to 400 Hz)"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("c.svg")));
}

TEST(EchoplotProgram, RefusesBrokenCsvFilesAndAFullDisk) {
    TempDir dir;
    writeTextFile(dir.file("a.txt"), kHeader + sweepTable(5));
    writeTextFile(dir.file("bad.csv"), kCsvHeader + "100,1,x,0,\n");
    writeTextFile(dir.file("short.csv"), kCsvHeader + "100,1\n");
    writeTextFile(dir.file("empty.csv"), kCsvHeader);
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"bad.csv"}, "bad.csv, line 2: 'x' in column magnitude_db is not a number"},
        {{"short.csv"}, "short.csv, line 2: expected at least 4"},
        {{"empty.csv"}, "empty.csv, the file holds its column names but no tones"},
        {{"a.txt", "bad.csv", "-o", "new.svg"}, "bad.csv, line 2"},
    };
    for (const auto& [args, message] : cases) {
        const ProgramRun run = echoplot(dir, args);
        EXPECT_EQ(run.exitCode, 1) << args[0];
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(dir.file("new.svg")));
    }
    if (!std::filesystem::exists("/dev/full")) return;
    std::filesystem::create_symlink("/dev/full", dir.file("full.svg"));
    ProgramRun run = echoplot(dir, {"a.txt", "-o", "full.svg"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("full.svg: writing failed"), std::string::npos) << run.err;
    std::filesystem::create_symlink("/dev/full", dir.file("a.frd"));
    run = echoplot(dir, {"a.txt", "--frd"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("a.svg")));  // nothing renamed unless everything was written
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("a.frd")));
}

// Written by hand: analyze's columns in an order of their own, with empty fields.
const std::string kQualityCsv =
    "frequency_hz,amplitude,magnitude_db,phase_deg,snr_db,magnitude_u95_db,h3_dbc,noise_floor_dbfs,phase_u95_deg,"
    "thd_db,h2_dbc,h4_dbc\n"
    "100,,-20,90,60,1,-40,-80,5,-30,-31,-60\n"
    "200,,-10,45,70,2,-46,-82,10,-35,-36,\n"
    "400,,-6,10,80,,,-85,,-42,-43,\n"
    "800,,-6,0,80,0.5,-56,,2,,-50,\n";

// Per class: how many elements; the panels' titles; the quantities' legend;
// and for the first two magnitude intervals their centre and half-height
// against the first two magnitude markers.
const std::string kQualityElements =
    "import sys, xml.etree.ElementTree as ET\n"
    "root = ET.parse(sys.argv[1]).getroot()\n"
    "ns = '{http://www.w3.org/2000/svg}'\n"
    "classes = [e.get('class') for e in root.iter() if e.get('class')]\n"
    "print(*[classes.count(c) for c in ('magnitude-point', 'thd-point', 'h2-point', 'h3-point',\n"
    "      'noise-floor-point', 'magnitude-band', 'phase-band')])\n"
    "print('|'.join(''.join(t.itertext()) for t in root.iter(ns + 'text') if t.get('class') == 'panel-title'))\n"
    "print('|'.join(''.join(t.itertext()) for t in root.iter(ns + 'text') if t.get('class') == 'quantity-label'))\n"
    "bands = [e for e in root.iter(ns + 'polygon') if e.get('class') == 'magnitude-band']\n"
    "if bands:\n"
    "    ys = [float(p.split(',')[1]) for p in bands[0].get('points').split()]\n"
    "    dots = [float(c.get('cy')) for c in root.iter(ns + 'circle') if c.get('class') == 'magnitude-point']\n"
    "    n = len(ys) // 2\n"
    "    for i in range(2):\n"
    "        top, bottom = ys[i], ys[2 * n - 1 - i]\n"
    "        print(round((top + bottom) / 2 - dots[i], 2), round((bottom - top) / 2, 2))\n";

TEST(EchoplotProgram, DistortionPanelAndUncertaintyBandsFromAnalyzesColumns) {
    if (!std::filesystem::exists(kPython)) GTEST_SKIP() << "python3 is needed to parse the SVG";
    TempDir dir;
    writeTextFile(dir.file("dut.csv"), kQualityCsv);
    ProgramRun run = echoplot(dir, {"dut.csv", "--distortion", "--uncertainty", "-o", "both.svg"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    run = runProgram(kPython, {"-c", kQualityElements, "both.svg"}, "", dir.path().string());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string lines = run.out;
    // 4 tones; THD, H3 and the floor miss one each; one band of two tones and one bar, per panel.
    EXPECT_EQ(lines.substr(0, lines.find('\n')), "4 3 4 3 3 2 2");
    EXPECT_NE(lines.find("\nMagnitude (dB)|Phase (deg)|Distortion (dBc), noise floor (dBFS)\n"), std::string::npos)
        << lines;
    EXPECT_NE(lines.find("\nTHD (dBc)|H2 (dBc)|H3 (dBc)|Noise floor (dBFS)|95 % interval\n"), std::string::npos)
        << lines;
    // Centred on the curve; 2 dB is twice as tall as 1 dB.
    const std::size_t intervals = lines.find("0.0 ");
    ASSERT_NE(intervals, std::string::npos) << lines;
    double halfFirst = 0.0, halfSecond = 0.0, centreFirst = 1.0, centreSecond = 1.0;
    ASSERT_EQ(std::sscanf(lines.c_str() + intervals, "%lf %lf %lf %lf", &centreFirst, &halfFirst, &centreSecond,
                          &halfSecond),
              4)
        << lines;
    EXPECT_EQ(centreFirst, 0.0);
    EXPECT_EQ(centreSecond, 0.0);
    EXPECT_NEAR(halfSecond, 2.0 * halfFirst, 0.02);

    // Normalized, the bands move with the curves.
    run = echoplot(dir, {"dut.csv", "--uncertainty", "--normalize", "300", "-o", "normalized.svg"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    run = runProgram(kPython, {"-c", kQualityElements, "normalized.svg"}, "", dir.path().string());
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "4 0 0 0 0 2 2");
    EXPECT_NE(run.out.find("\n0.0 "), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Distortion"), std::string::npos) << run.out;
}

TEST(EchoplotProgram, DistortionAndUncertaintyNeedAnalyzesColumns) {
    TempDir dir;
    writeTextFile(dir.file("a.txt"), kHeader + sweepTable(5));
    writeTextFile(dir.file("plain.csv"), kCsvHeader + "100,,-10,0,\n");
    writeTextFile(dir.file("dut.csv"), kQualityCsv);
    writeTextFile(dir.file("half.csv"), "frequency_hz,amplitude,magnitude_db,phase_deg,thd_db,magnitude_u95_db\n"
                                        "100,,-10,0,-40,0.1\n");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"a.txt", "--distortion"}, "a.txt: --distortion needs a CSV file of auralyn analyze --csv with the columns "
                                    "thd_db, h2_dbc, h3_dbc, noise_floor_dbfs; an echoprobe report has none of them"},
        {{"dut.csv", "a.txt", "--uncertainty"}, "a.txt: --uncertainty needs a CSV file of auralyn analyze --csv"},
        {{"plain.csv", "--distortion"}, "plain.csv: --distortion needs the columns thd_db, h2_dbc, h3_dbc, "
                                        "noise_floor_dbfs; the file lacks thd_db, h2_dbc, h3_dbc, noise_floor_dbfs"},
        {{"half.csv", "--uncertainty"}, "half.csv: --uncertainty needs the columns magnitude_u95_db, phase_u95_deg; "
                                        "the file lacks phase_u95_deg"},
    };
    const std::vector<std::string> before = filesIn(dir);
    for (const auto& [args, message] : cases) {
        const ProgramRun run = echoplot(dir, args);
        EXPECT_EQ(run.exitCode, 1) << args[0];
        EXPECT_NE(run.err.find("auralyn: " + message), std::string::npos) << run.err;
        EXPECT_EQ(filesIn(dir), before) << args[0];
    }
    const ProgramRun help = echoplot(dir, {"--help"});
    for (const char* option : {"--distortion", "--uncertainty"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option << "\n" << help.out;
}

}  // namespace
}  // namespace auralyn::test
