#pragma once

#include <memory>
#include <unordered_map>
#include <vector>

#include "calibration/tone_conversion.h"
#include "cli/calibration_setup.h"
#include "cli/tone_table.h"

namespace auralyn::cli {

// Every tone of one analysis in physical units. Tones are known by their
// place in the analysis, which outlives this table.
class CalibratedTones {
public:
    CalibratedTones(const LoadedCalibration& loaded, const std::vector<analysis::ToneMeasurement>& tones);

    const calibration::CalibratedTone* of(const analysis::ToneMeasurement& tone) const;
    double playbackLevelDb() const { return playbackLevelDb_; }
    // Tones measured outside the cal file's range (flagged, not corrected).
    std::size_t outsideCalRange() const { return outside_; }

private:
    std::unordered_map<const analysis::ToneMeasurement*, calibration::CalibratedTone> tones_;
    double playbackLevelDb_ = 0.0;
    std::size_t outside_ = 0;
};

// The tone's level as recorded, in dB re full scale; none for a silent tone.
std::optional<double> recordedDbfs(const analysis::ToneMeasurement& tone);

// The table's columns with the calibration applied: magnitude_db is the
// device's gain (the playback level taken back out) with the cal file's
// response taken out, phase_deg likewise, magnitude_u95_db the calibrated
// level's interval; then spl_db, dbv, gain_db, calibrated, mic_cal_db and,
// in the JSON only, u95_components.
std::vector<ToneColumn> calibratedColumns(std::vector<ToneColumn> columns,
                                          std::shared_ptr<const CalibratedTones> calibrated);

}  // namespace auralyn::cli
