#pragma once

#include <string>

#include "cli/calibration_request.h"

namespace auralyn::cli {

// One measurement of a recording against its sweep, as `auralyn analyze` takes
// it from the command line; `auralyn measure` hands its own recording over the
// same way.
struct AnalyzeRequest {
    std::string recordingPath;  // a 16-bit WAV file at the sweep's rate
    std::string parameterPath;  // the sweep's .swp file
    std::string reportPath;     // echoprobe's report; empty: none (unless no output at all is asked for)
    std::string csvPath;
    std::string jsonPath;
    std::string plotPath;       // a Bode plot (SVG) of the result; empty: none
    bool quiet = false;         // no progress bar
    bool clockCorrection = true;
    int channel = 1;            // the device under test, counted from 1
    int referenceChannel = 0;   // a loopback wire from the output, counted from 1; 0: none
    // A recording of several channels without a reference needs its channel
    // named; the command line sets this from whether --channel was given.
    bool channelGiven = true;
    CalibrationRequest calibration;  // physical units (builds with the calibration library)
};

// Runs the measurement, writes the outputs, prints the summary; returns the
// exit status (0 success, 1 a failed run, 2 an unusable request).
int runAnalyzeRequest(const AnalyzeRequest& request);

}  // namespace auralyn::cli
