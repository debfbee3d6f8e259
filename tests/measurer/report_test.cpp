#include "measurer/report.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace auralyn {
namespace {

constexpr double kPi = 3.141592653589793;
const std::string kColumns = "Frequency, Amplitude, Norm. Amp., Norm. Amp. (dB), Phase (deg)\n";

class Capture {
public:
    Capture() : file_(std::tmpfile()) {}
    ~Capture() { std::fclose(file_); }
    std::FILE* file() { return file_; }
    std::string text() {
        std::fflush(file_);
        std::rewind(file_);
        std::string out;
        for (int c = std::fgetc(file_); c != EOF; c = std::fgetc(file_)) out.push_back(static_cast<char>(c));
        return out;
    }

private:
    std::FILE* file_;
};

std::string table(std::vector<measurer::ToneResult> tones) {
    Capture capture;
    measurer::writeResults(tones.data(), tones.size(), capture.file());
    return capture.text();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        out.push_back(text.substr(start, end - start));
    return out;
}

// The phase column of a table.
std::string phaseOf(const std::string& line) { return line.substr(line.rfind(", ") + 2); }

TEST(ReportHeader, NineLinesFromTheParameters) {
    sweep::SweepParameters p;
    p.sampleRate = 48000;
    p.minToneDuration = 0.02;
    p.tonesPerSyncPulse = 0;
    p.settlingTime = 0.04;
    p.minCyclesPerTone = 10;
    p.maxFractionalCycle = 1.0;
    p.maxExtraSamples = 400;
    p.maxTimeDrift = 0.0002;
    Capture capture;
    measurer::writeHeader(sweep::SweepPlan(p), "speaker.wav", capture.file());
    EXPECT_EQ(capture.text(),
              "Input file, \"speaker.wav\"\n"
              "Sampling rate, 48000 Hz\n"
              "Minimum tone duration, 0.020 sec\n"
              "Tones per sync pulse, 0\n"
              "Settling time, 0.040 sec\n"
              "Minimum cycles per tone, 10\n"
              "Maximum fractional cycle, 1.000\n"
              "Maximum extra samples, 400\n"
              "Maximum time drift, 0.0002 sec\n");
}

TEST(ReportTable, NoTonesWriteNothing) { EXPECT_EQ(table({}), ""); }

TEST(ReportTable, TwoTonesInTheDocumentedLayout) {
    EXPECT_EQ(table({{20.0, 9000.0, 12.5 * kPi / 180.0}, {40.0, 11000.0, -30.25 * kPi / 180.0}}),
              kColumns + "20.00, 9000.0, 0.90000, -0.915, 12.50\n40.00, 11000.0, 1.10000, 0.828, -30.25\n");
}

TEST(ReportTable, AmplitudeEqualToTheMeanIsOneAndZeroDecibel) {
    EXPECT_EQ(table({{1000.0, 32767.0, 0.0}}), kColumns + "1000.00, 32767.0, 1.00000, 0.000, 0.00\n");
}

TEST(ReportTable, SilenceLeavesTheNormalisedColumnsUndefined) {
    EXPECT_EQ(table({{20.0, 0.0, 0.0}, {40.0, 0.0, 0.0}}),
              kColumns + "20.00, 0.0, undef, undef, 0.00\n40.00, 0.0, undef, undef, 0.00\n");
}

TEST(ReportTable, OneSilentToneHasMinusInfinityDecibel) {
    const std::vector<std::string> out = lines(table({{20.0, 1000.0, 0.0}, {40.0, 0.0, 0.0}, {80.0, 2000.0, 0.0}}));
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[1], "20.00, 1000.0, 1.00000, 0.000, 0.00");
    EXPECT_EQ(out[2], "40.00, 0.0, 0.00000, -Inf, 0.00");
    EXPECT_EQ(out[3], "80.00, 2000.0, 2.00000, 6.021, 0.00");
}

TEST(ReportUnwrapping, StepsAreReadAsRisesUpToAQuarterTurn) {
    EXPECT_EQ(phaseOf(lines(table({{1.0, 1.0, 0.0}, {2.0, 1.0, 2.0}}))[2]), "-245.41");
    EXPECT_EQ(phaseOf(lines(table({{1.0, 1.0, 0.0}, {2.0, 1.0, -2.0}}))[2]), "-114.59");
    EXPECT_EQ(phaseOf(lines(table({{1.0, 1.0, 0.0}, {2.0, 1.0, 1.5}}))[2]), "85.94");
    // Both bounds at a quarter turn: +pi/2 stays, a fall just beyond -pi/2 stays too.
    EXPECT_EQ(phaseOf(lines(table({{1.0, 1.0, 0.0}, {2.0, 1.0, kPi / 2}}))[2]), "90.00");
    EXPECT_EQ(phaseOf(lines(table({{1.0, 1.0, 0.0}, {2.0, 1.0, -1.6}}))[2]), "-91.67");
    EXPECT_EQ(phaseOf(lines(table({{1.0, 1.0, 0.0}, {2.0, 1.0, 1.6}}))[2]), "-268.33");
}

TEST(ReportUnwrapping, FirstToneKeepsItsPhase) {
    EXPECT_EQ(phaseOf(lines(table({{1.0, 1.0, 3.0}, {2.0, 1.0, -3.0}}))[1]), "171.89");
    EXPECT_EQ(phaseOf(lines(table({{1.0, 1.0, 3.0}, {2.0, 1.0, -3.0}}))[2]), "188.11");
}

TEST(ReportUnwrapping, SteadilyFallingPhaseFallsWithoutBound) {
    std::vector<measurer::ToneResult> tones;
    for (int i = 0; i < 40; ++i) tones.push_back({100.0 + i, 1.0, std::remainder(-0.5 * i, 2 * kPi) + 0.0});
    const std::vector<std::string> out = lines(table(tones));
    ASSERT_EQ(out.size(), 41u);
    EXPECT_EQ(phaseOf(out[1]), "0.00");
    EXPECT_EQ(phaseOf(out[2]), "-28.65");
    EXPECT_EQ(phaseOf(out[3]), "-57.30");
    EXPECT_EQ(phaseOf(out[4]), "-85.94");
    EXPECT_EQ(phaseOf(out[40]), "-1117.27");  // 39 x -0.5 rad
}

TEST(ReportUnwrapping, HostilePhasesEndTheUnwrapping) {
    std::vector<measurer::ToneResult> tones = {{1.0, 1.0, 0.0}, {2.0, 1.0, 1e12}, {3.0, 1.0, NAN}, {4.0, 1.0, 0.5}};
    measurer::unwrapPhases(tones.data(), tones.size());
    EXPECT_LE(std::fabs(tones[1].phase), 2 * kPi);
    EXPECT_TRUE(std::isnan(tones[2].phase));
}

}  // namespace
}  // namespace auralyn
