#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace auralyn::calibration {

// The input side: how loud a known sound pressure, or a known voltage, reads
// at the input (at least one of the two).
struct InputCalibration {
    std::optional<double> dbfsAt94DbSpl;  // the level, in dBFS, 94 dB SPL gives at the input
    double frequencyHz = 1000.0;          // where that was found (the calibrator's tone)
    double toleranceDb = 0.4;             // the calibrator's tolerance (class 1: 0.4 dB)
    double readingStandardDb = 0.0;       // standard uncertainty of the reading itself
    std::optional<double> dbfsAt1Vrms;    // a 1 V RMS sine at the input reads this, for dBV
    std::string source;                   // how it was found: the recording, a given sensitivity, ...
    std::string date;                     // ISO 8601, UTC
    std::optional<double> sampleRateHz;
    std::string inputDevice;
    std::optional<int> channel;
};

// The output side: the voltage of a full-scale sine at the output.
struct OutputCalibration {
    double voltsRmsAtFullScale = 0.0;
    double frequencyHz = 1000.0;
    double toleranceDb = 0.0;             // the voltmeter's (or the loopback's) tolerance
    std::string source;
    std::string date;
    std::optional<double> sampleRateHz;
    std::string outputDevice;
};

struct CalibrationProfile {
    std::optional<InputCalibration> input;
    std::optional<OutputCalibration> output;
};

class ProfileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The profile's JSON text, or the profile in a JSON text; a text that is not
// a profile (wrong types, missing or impossible values) is an error naming
// the field, prefixed with fileName.
std::string profileJson(const CalibrationProfile& profile);
CalibrationProfile parseProfile(const std::string& text, const std::string& fileName);
CalibrationProfile readProfile(const std::string& path);

// An existing profile's text with one side replaced and everything else kept
// as it was (the other side, fields this version does not know); text may be
// empty for a new profile.
std::string updatedProfileJson(const std::string& existingText, const std::string& fileName,
                               const CalibrationProfile& sides);

// What a profile has to say about the setup it is applied to: the warnings
// for another sampling rate and other devices (empty names are not compared).
struct Setup {
    std::optional<double> sampleRateHz;
    std::string inputDevice;
    std::string outputDevice;
};
std::vector<std::string> profileWarnings(const CalibrationProfile& profile, const Setup& setup);

// The current time as ISO 8601 UTC, for a profile's date.
std::string utcNow();

}  // namespace auralyn::calibration
