#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "plot/report_reader.h"

namespace auralyn::plot {
namespace {

const std::string kHeader =
    "Input file, \"speaker.wav\"\n"
    "Sampling rate, 48000 Hz\n"
    "Minimum tone duration, 0.020 sec\n"
    "Tones per sync pulse, 0\n"
    "Settling time, 0.040 sec\n"
    "Minimum cycles per tone, 10\n"
    "Maximum fractional cycle, 1.000\n"
    "Maximum extra samples, 400\n"
    "Maximum time drift, 0.0002 sec\n";
const std::string kColumns = "Frequency, Amplitude, Norm. Amp., Norm. Amp. (dB), Phase (deg)\n";

std::string errorFor(const std::string& text) {
    Report report;
    std::string error;
    EXPECT_FALSE(parseReport(text, report, error));
    return error;
}

TEST(ReportReader, ReadsTheHeaderAndTheTable) {
    Report report;
    std::string error;
    ASSERT_TRUE(parseReport(kHeader + kColumns + "20.00, 9000.0, 0.90000, -0.915, 12.50\n"
                                                 "40.00, 11000.0, 1.10000, 0.828, -30.25\n",
                            report, error))
        << error;
    EXPECT_EQ(report.inputFile, "speaker.wav");
    EXPECT_EQ(report.sampleRate, 48000u);
    EXPECT_DOUBLE_EQ(report.minToneDuration, 0.02);
    EXPECT_EQ(report.tonesPerSyncPulse, 0u);
    EXPECT_DOUBLE_EQ(report.settlingTime, 0.04);
    EXPECT_EQ(report.minCyclesPerTone, 10u);
    EXPECT_DOUBLE_EQ(report.maxFractionalCycle, 1.0);
    EXPECT_EQ(report.maxExtraSamples, 400u);
    EXPECT_DOUBLE_EQ(report.maxTimeDrift, 0.0002);
    ASSERT_EQ(report.tones.size(), 2u);
    EXPECT_DOUBLE_EQ(report.tones[1].frequency, 40.0);
    EXPECT_DOUBLE_EQ(report.tones[1].amplitude, 11000.0);
    EXPECT_DOUBLE_EQ(*report.tones[1].normalised, 1.1);
    EXPECT_DOUBLE_EQ(*report.tones[1].normalisedDb, 0.828);
    EXPECT_DOUBLE_EQ(report.tones[1].phaseDegrees, -30.25);
}

TEST(ReportReader, SilentTonesAndWindowsLineEnds) {
    std::string text = kHeader + kColumns + "20.00, 0.0, 0.00000, -Inf, 0.00\n30.00, 10.0, 2.00000, 6.021, -10.00\n";
    std::string crlf;
    for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    Report report;
    std::string error;
    ASSERT_TRUE(parseReport(crlf + "\r\n\r\n", report, error)) << error;
    ASSERT_EQ(report.tones.size(), 2u);
    EXPECT_TRUE(std::isinf(*report.tones[0].normalisedDb));
    EXPECT_DOUBLE_EQ(*report.tones[0].normalised, 0.0);

    ASSERT_TRUE(parseReport(kHeader + kColumns + "20.00, 0.0, undef, undef, 0.00\n", report, error)) << error;
    EXPECT_FALSE(report.tones[0].normalised.has_value());
    EXPECT_FALSE(report.tones[0].normalisedDb.has_value());
}

TEST(ReportReader, FileNamesMayHoldQuotesAndCommas) {
    Report report;
    std::string error;
    std::string header = kHeader;
    header.replace(0, header.find('\n'), "Input file, \"a \"b\", c.wav\"");
    ASSERT_TRUE(parseReport(header + kColumns + "20.00, 1.0, 1.00000, 0.000, 0.00\n", report, error)) << error;
    EXPECT_EQ(report.inputFile, "a \"b\", c.wav");
}

TEST(ReportReader, RefusesAnythingElse) {
    EXPECT_NE(errorFor("").find("line 1"), std::string::npos);
    EXPECT_NE(errorFor("hello\n").find("not a measurement report"), std::string::npos);
    EXPECT_NE(errorFor(kHeader).find("no results"), std::string::npos);
    EXPECT_NE(errorFor(kHeader + kColumns).find("no lines"), std::string::npos);
    EXPECT_NE(errorFor(kHeader.substr(0, 60)).find("line 3"), std::string::npos);

    std::string badRate = kHeader;
    badRate.replace(badRate.find("48000 Hz"), 8, "48k Hz");
    EXPECT_NE(errorFor(badRate + kColumns).find("line 2: expected 'Sampling rate"), std::string::npos);
    std::string zeroRate = kHeader;
    zeroRate.replace(zeroRate.find("48000 Hz"), 8, "0 Hz");
    EXPECT_NE(errorFor(zeroRate + kColumns + "1.00, 1.0, 1.0, 0.0, 0.0\n").find("0 Hz"), std::string::npos);

    EXPECT_NE(errorFor(kHeader + "Frequency, Amplitude\n").find("line 10: expected the column line"),
              std::string::npos);
    EXPECT_NE(errorFor(kHeader + kColumns + "20.00, 1.0, 1.0, 0.0\n").find("line 11: expected 5"), std::string::npos);
    EXPECT_NE(errorFor(kHeader + kColumns + "20.00, 1.0, 1.0, 0.0, 0.0\n\n30.00, 1.0, 1.0, 0.0, 0.0\n")
                  .find("line 12"),
              std::string::npos);
    EXPECT_NE(errorFor(kHeader + kColumns + "abc, 1.0, 1.0, 0.0, 0.0\n").find("frequency 'abc'"), std::string::npos);
    EXPECT_NE(errorFor(kHeader + kColumns + "-5.00, 1.0, 1.0, 0.0, 0.0\n").find("not a positive"), std::string::npos);
    EXPECT_NE(errorFor(kHeader + kColumns + "20.00, 1.0x, 1.0, 0.0, 0.0\n").find("amplitude"), std::string::npos);
    EXPECT_NE(errorFor(kHeader + kColumns + "20.00, 1.0, n/a, 0.0, 0.0\n").find("normalised"), std::string::npos);
    EXPECT_NE(errorFor(kHeader + kColumns + "20.00, 1.0, 1.0, 0.0, \n").find("phase"), std::string::npos);
    EXPECT_NE(errorFor(kHeader + kColumns + std::string("20.00, 1.0, 1.0, 0.0, 0.0\0", 26)).find("phase"),
              std::string::npos);
}

}  // namespace
}  // namespace auralyn::plot
