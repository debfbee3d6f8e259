#pragma once

#include <optional>
#include <vector>

#include "calibration/cal_file.h"
#include "calibration/profile.h"
#include "calibration/uncertainty_budget.h"

namespace auralyn::calibration {

// Everything that turns a tone's digital level into physical units.
struct CalibrationChain {
    std::optional<CalCurve> micCal;  // the microphone's (or interface's) response
    bool invertMicCal = false;       // the file holds the correction instead
    std::optional<InputCalibration> input;
    std::optional<OutputCalibration> output;
    std::optional<double> driveVolts;          // report SPL at this drive (dB SPL at 2.83 V)
    std::optional<double> distanceM;           // the microphone's distance, as stated
    std::optional<double> normalizeDistanceM;  // inverse-square correction to this distance
};

// A measured tone, in the digital units of the recording.
struct ToneLevels {
    double frequencyHz = 0.0;
    std::optional<double> recordedDbfs;       // the tone's level in the recording; none for a silent tone
    std::optional<double> playedDbfs;         // the tone's level as played (tone amplitude and playback level)
    std::optional<double> measurementU95Db;   // the measurement's own 95 % interval of the level
};

// The tone in physical units; every figure is empty where the chain cannot
// give it honestly (no calibration for it, or a tone outside the cal file).
struct CalibratedTone {
    std::optional<bool> calibrated;      // inside the cal file's range; none without a cal file
    std::optional<double> micCalDb;      // what the cal file took away from the magnitude
    std::optional<double> micCalPhaseDeg;  // and from the phase
    std::optional<double> splDb;         // sound pressure level (at driveVolts, where given)
    std::optional<double> dbv;           // level at the input in dBV
    std::optional<double> gainDb;        // dbv against the drive's dBV
    std::vector<UncertaintyComponent> components;
    std::optional<double> u95Db;         // the 95 % interval of the calibrated level
};

// spl_db = 94 + (recorded - mic cal) - (input's dBFS at 94 dB SPL - mic cal at
// the calibrator's frequency), moved to driveVolts and normalizeDistanceM
// where asked; dbv = (recorded - mic cal) - the input's dBFS at 1 V; gain_db
// = dbv - the drive in dBV. Uncertainty: the measurement's own, the cal
// file's interpolation and stated point uncertainty, the calibrator's
// tolerance and reading where spl_db is given, the output's tolerance where
// the drive comes from it; root-sum-square (GUM), listed as components.
CalibratedTone calibrateTone(const CalibrationChain& chain, const ToneLevels& tone);

// The input's dBFS at 94 dB SPL from a cal file's header sensitivity (the
// "*1000Hz" dBV re 1 V/Pa, else the "Sens Factor") and the input's gain: the
// level in dBFS a 1 V RMS sine reads at the input. The two add.
std::optional<double> dbfsAt94FromHeader(const CalHeader& header, double inputGainDbv);

}  // namespace auralyn::calibration
