#include "calibration/tone_conversion.h"

#include <cmath>

#include "calibration/cal_interpolation.h"

namespace auralyn::calibration {
namespace {

constexpr double kCalibratorSplDb = 94.0;  // the reference the input side is stated at (1 Pa)

double dB(double ratio) { return 20.0 * std::log10(ratio); }

// The drive's voltage where the output is calibrated and the played level known.
std::optional<double> actualDriveVolts(const CalibrationChain& chain, const ToneLevels& tone) {
    if (!chain.output || !tone.playedDbfs) return std::nullopt;
    return chain.output->voltsRmsAtFullScale * std::pow(10.0, *tone.playedDbfs / 20.0);
}

// The mic cal's response at the calibrator's frequency: the input's
// sensitivity was read through it, so it is taken out there too.
double calAtCalibrator(const CalibrationChain& chain) {
    if (!chain.micCal || !chain.input) return 0.0;
    const auto value = responseAt(*chain.micCal, chain.input->frequencyHz, chain.invertMicCal);
    return value ? value->db : 0.0;
}

void addComponent(CalibratedTone& out, const char* name, double standardDb, Distribution distribution) {
    if (standardDb > 0.0) out.components.push_back({name, standardDb, distribution});
}

std::optional<double> splOf(const CalibrationChain& chain, const ToneLevels& tone, double correctedDbfs) {
    if (!chain.input || !chain.input->dbfsAt94DbSpl) return std::nullopt;
    double spl = kCalibratorSplDb + correctedDbfs - (*chain.input->dbfsAt94DbSpl - calAtCalibrator(chain));
    if (const auto volts = actualDriveVolts(chain, tone); volts && chain.driveVolts) spl += dB(*chain.driveVolts / *volts);
    if (chain.distanceM && chain.normalizeDistanceM) spl += dB(*chain.distanceM / *chain.normalizeDistanceM);
    return spl;
}

std::optional<double> driveDbv(const CalibrationChain& chain, const ToneLevels& tone) {
    if (const auto volts = actualDriveVolts(chain, tone)) return dB(*volts);
    if (chain.driveVolts) return dB(*chain.driveVolts);
    return std::nullopt;
}

}  // namespace

CalibratedTone calibrateTone(const CalibrationChain& chain, const ToneLevels& tone) {
    CalibratedTone out;
    std::optional<CalValue> cal;
    if (chain.micCal) {
        cal = responseAt(*chain.micCal, tone.frequencyHz, chain.invertMicCal);
        out.calibrated = cal.has_value();
        if (cal) {
            out.micCalDb = cal->db;
            out.micCalPhaseDeg = cal->phaseDeg;
        }
    }
    if (tone.measurementU95Db) {
        addComponent(out, "measurement", normalStandardFrom95(*tone.measurementU95Db), Distribution::normal);
    }
    if (cal) {
        addComponent(out, "cal_file_interpolation", rectangularStandard(cal->interpolationHalfWidthDb),
                     Distribution::rectangular);
        addComponent(out, "cal_file_points", cal->pointStandardDb, Distribution::normal);
    }
    const bool usable = tone.recordedDbfs && (!chain.micCal || cal);
    if (usable) {
        const double corrected = *tone.recordedDbfs - (cal ? cal->db : 0.0);
        out.splDb = splOf(chain, tone, corrected);
        if (chain.input && chain.input->dbfsAt1Vrms) out.dbv = corrected - *chain.input->dbfsAt1Vrms;
        if (const auto drive = driveDbv(chain, tone); drive && out.dbv) out.gainDb = *out.dbv - *drive;
    }
    if (out.splDb) {
        addComponent(out, "calibrator_tolerance", rectangularStandard(chain.input->toleranceDb), Distribution::rectangular);
        addComponent(out, "calibrator_reading", chain.input->readingStandardDb, Distribution::normal);
        if (chain.driveVolts && actualDriveVolts(chain, tone)) {
            addComponent(out, "output_calibration", rectangularStandard(chain.output->toleranceDb),
                         Distribution::rectangular);
        }
    }
    if (tone.measurementU95Db) out.u95Db = expanded95(out.components);
    return out;
}

std::optional<double> dbfsAt94FromHeader(const CalHeader& header, double inputGainDbv) {
    if (header.sensitivityDbv) return *header.sensitivityDbv + inputGainDbv;
    if (header.sensFactorDb) return *header.sensFactorDb + inputGainDbv;
    return std::nullopt;
}

}  // namespace auralyn::calibration
