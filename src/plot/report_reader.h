#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace auralyn::plot {

// One line of a measurement report's table.
struct ReportTone {
    double frequency = 0.0;                   // Hz
    double amplitude = 0.0;                   // sample units; a full-scale tone through a perfect wire gives 32767
    std::optional<double> normalised;         // empty for "undef" (mean amplitude 0)
    std::optional<double> normalisedDb;       // empty for "undef"; -infinity for "-Inf" (silent tone)
    double phaseDegrees = 0.0;                // unwrapped along the sweep by the measurer
};

// The nine header lines and the table of a measurement report.
struct Report {
    std::string inputFile;
    std::uint32_t sampleRate = 0;
    double minToneDuration = 0.0;
    std::uint32_t tonesPerSyncPulse = 0;
    double settlingTime = 0.0;
    std::uint32_t minCyclesPerTone = 0;
    double maxFractionalCycle = 0.0;
    std::uint32_t maxExtraSamples = 0;
    double maxTimeDrift = 0.0;
    std::vector<ReportTone> tones;
};

inline constexpr std::uint64_t kMaxReportBytes = 64ull << 20;  // over a million tones

// False, with a message that names the line, for anything but a complete
// report: header, column line and at least one table line.
bool parseReport(const std::string& text, Report& report, std::string& error);
bool readReportFile(const std::string& path, Report& report, std::string& error);

// The whole file, at most kMaxReportBytes.
bool readTextFile(const std::string& path, std::string& text, std::string& error);

}  // namespace auralyn::plot
