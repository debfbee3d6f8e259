#pragma once

// What `auralyn measure` is asked: its options, and the checks of them made
// before any device opens.

#include <optional>
#include <string>
#include <vector>

#include "cli/calibration_request.h"
#include "cli/cli11_forward.h"
#include "cli/sweep_making.h"

namespace auralyn::cli {

struct MeasureCommand {
    SweepOptionValues sweep;
    std::vector<std::string> givenSweep;  // S.wav S.swp
    std::string outputDevice;
    std::string inputDevice;
    std::string outputChannels = "LR";
    int inputChannel = 1;
    int referenceChannel = 0;
    std::string reportPath;
    std::string csvPath;
    std::string jsonPath;
    std::string plotPath;
    std::string keepRecording;
    bool quiet = false;
    bool impedance = false;   // measure an impedance: the reference channel is the drive
    double senseOhms = 0.0;
    std::optional<double> levelDbfs;  // play the sweep (and its pulse) this far below full scale
    std::string bits = "auto";        // the recording's samples: auto, 16, 24 or 32f
    CalibrationRequest calibration;
};

void addMeasureOptions(CLI::App* command, MeasureCommand& m);

// The report, tables and plot asked for, in that order; none when not given.
std::vector<std::string> outputPaths(const MeasureCommand& m);

// Caught before the devices open rather than after a whole sweep: 0, or the
// exit status after the message.
int checkMeasureCommandLine(const MeasureCommand& m);

}  // namespace auralyn::cli
