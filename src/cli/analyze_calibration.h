#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/analysis_outputs.h"
#include "cli/analyze_request.h"
#include "analysis/sample.h"
#include "cli/calibration_setup.h"
#include "recording/recording_format.h"

namespace auralyn::cli {

// The calibration an analysis applies, loaded before the analysis runs so that
// a broken cal file or profile stops the run before anything is written.
// False (reason printed) when a file named cannot be used; `loaded` stays
// empty when nothing is asked for.
bool prepareCalibration(const AnalyzeRequest& request, double sampleRate, std::optional<LoadedCalibration>& loaded);

// Hands the document the calibrated columns and the JSON's "calibration"
// (and the recording's format); warns about tones outside the cal file.
void applyCalibration(const LoadedCalibration& loaded, const analysis::SweepAnalysis& analysis, AnalysisDocument& document);

// A recording of any resolution, read as full-scale-normalised samples,
// enters the measuring library here in its units (full scale 1.0 = 32768),
// keeping every bit a 24-bit recording holds. A 16-bit recording passes
// unchanged.
std::vector<analysis::Sample> samplesFromFullScale(const std::vector<double>& samples);

// The rounding step of a recording's samples in those units: 1 for 16 bits,
// 1/256 for 24 bits and for float (a device's converter gives no more),
// 1/65536 for 32-bit integers.
double resolutionStep(recording::SampleEncoding encoding);

// Reads every channel of the recording at `path` through the recording
// library, for the analysis; prints the reason and gives nothing when the file
// cannot be read.
std::optional<std::vector<std::vector<double>>> readRecordingChannels(const std::string& path,
                                                                      recording::RecordingFormat& format);

// Whether the recording at `path` goes through the general reader: a file it
// reads as anything but 16-bit PCM (24-bit, 32-bit, float). 16-bit files and
// files it cannot read at all go through the kit's own reader, whose messages
// name what is wrong.
bool readsAsDeeperThan16Bits(const std::string& path);

// What the general reader read but the measuring library does not take: 8-bit
// and 64-bit float samples, a sampling rate other than the sweep's. Prints
// the reason.
bool checkMeasurableFormat(const std::string& path, const recording::RecordingFormat& format, std::uint32_t rate);

}  // namespace auralyn::cli
