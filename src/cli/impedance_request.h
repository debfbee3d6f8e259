#pragma once

#include <optional>
#include <string>
#include <vector>

namespace auralyn::cli {

// One impedance measurement as `auralyn impedance` takes it from the command
// line; `auralyn measure --impedance` hands its own recording over the same way.
struct ImpedanceRequest {
    std::string recordingPath;
    std::string parameterPath;
    double senseOhms = 0.0;
    int channel = 1;
    int referenceChannel = 2;
    std::string wiring = "series";
    std::optional<double> inputImpedance;
    std::string shortPath;
    std::vector<std::string> referenceResistor;  // REC.wav OHMS
    double senseTolerance = 0.0;
    std::string calibrationPath;       // a profile whose input calibration reads the drive in volts
    std::optional<double> driveVolts;  // the drive's voltage, as a voltmeter reads it during the sweep
    std::string zmaPath, csvPath, jsonPath, plotPath;
};

// Measures, writes the outputs, prints the summary; returns the exit status.
int runImpedanceRequest(const ImpedanceRequest& request);

}  // namespace auralyn::cli
