#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/analysis_outputs.h"
#include "cli/analyze_request.h"
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

// The analysis still measures 16-bit sample values: a recording of any
// resolution, read as full-scale-normalised samples, enters it here, each
// sample rounded to the nearest 16-bit code (full scale 1.0 = 32768,
// clipped to -32768..32767). A 16-bit recording passes unchanged.
std::vector<std::int16_t> int16SamplesFromFullScale(const std::vector<double>& samples);

// Reads every channel of the recording at `path` through the recording
// library, for the analysis; prints the reason and gives nothing when the file
// cannot be read.
std::optional<std::vector<std::vector<double>>> readRecordingChannels(const std::string& path,
                                                                      recording::RecordingFormat& format);

}  // namespace auralyn::cli
