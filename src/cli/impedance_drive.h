#pragma once

#include "cli/impedance_request.h"
#include "impedance/impedance_point.h"

namespace auralyn::cli {

// Each tone's drive in volts RMS where the drive channel can be read in
// volts: with --drive-volts V the median tone of the drive channel is V
// (a voltmeter's reading across the drive while the sweep plays), with
// --calibration the profile's input calibration (the level a 1 V RMS sine
// reads) is taken for the drive channel. Without either the drive stays in
// dBFS. False, with the message printed, for a profile that cannot be read.
bool addDriveVolts(const ImpedanceRequest& request, impedance::ImpedanceCurve& curve);

}  // namespace auralyn::cli
