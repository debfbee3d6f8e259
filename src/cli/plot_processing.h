#pragma once

#include <string>

#include "plot/plot_job.h"

namespace auralyn::cli {

// What `auralyn plot` asks of the response library for every measurement.
struct PlotProcessing {
    std::string smooth, smoothMode = "power", delay;
    bool groupDelay = false, minPhase = false;
};

// Sets the plot's hooks: FRD files read as curves, and each measurement
// smoothed, its delay taken out, its group delay and minimum phase worked
// out as asked (the delay found is printed). False, with the message, for
// option values it refuses (a bad command line).
bool attachResponseProcessing(const PlotProcessing& processing, plot::PlotRequest& request, std::string& error);

}  // namespace auralyn::cli
