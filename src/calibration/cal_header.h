#pragma once

#include "calibration/cal_file.h"
#include "calibration/cal_line.h"

namespace auralyn::calibration {

// Takes what a comment line says about the microphone into the header: the
// forms "Sens Factor =-1.378dB, SERNO: 7007184" (also "=.27710dB") and
// "*1000Hz  -38.6". Other comment lines leave it as it is. A malformed
// number in one of these forms is an error, as in a data row.
void readHeaderLine(const LineRef& line, CalHeader& header);

}  // namespace auralyn::calibration
