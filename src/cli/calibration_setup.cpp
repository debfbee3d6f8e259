#include "cli/calibration_setup.h"

#include <cstdio>

#include "calibration/cal_file.h"
#include "calibration/cal_interpolation.h"
#include "cli/diagnostics.h"

namespace auralyn::cli {
namespace {

using Json = nlohmann::ordered_json;

Json optionalNumber(const std::optional<double>& value) { return value ? Json(*value) : Json(nullptr); }

Json micCalDescription(const CalibrationRequest& request, const calibration::CalCurve& curve) {
    Json json;
    json["file"] = request.micCalPath;
    json["inverted"] = request.invertMicCal;
    json["range_hz"] = Json::array({curve.points.front().frequencyHz, curve.points.back().frequencyHz});
    json["points"] = curve.points.size();
    json["serial_number"] = curve.header.serialNumber ? Json(*curve.header.serialNumber) : Json(nullptr);
    return json;
}

Json profileDescription(const CalibrationRequest& request, const calibration::CalibrationProfile& profile) {
    Json json;
    json["file"] = request.profilePath;
    if (profile.input) {
        json["dbfs_at_94_db_spl"] = optionalNumber(profile.input->dbfsAt94DbSpl);
        json["dbfs_at_1_vrms"] = optionalNumber(profile.input->dbfsAt1Vrms);
        json["calibrator_frequency_hz"] = profile.input->frequencyHz;
        json["calibrator_tolerance_db"] = profile.input->toleranceDb;
    }
    if (profile.output) json["output_volts_rms_at_full_scale"] = profile.output->voltsRmsAtFullScale;
    return json;
}

bool loadMicCal(const CalibrationRequest& request, LoadedCalibration& loaded) {
    if (request.micCalPath.empty()) return true;
    try {
        loaded.chain.micCal = calibration::readCalFile(request.micCalPath);
        loaded.chain.invertMicCal = request.invertMicCal;
        loaded.description["mic_cal"] = micCalDescription(request, *loaded.chain.micCal);
        return true;
    } catch (const calibration::CalFileError& error) {
        printDiagnostic(error.what());
        return false;
    }
}

bool loadProfile(const CalibrationRequest& request, const calibration::Setup& setup, LoadedCalibration& loaded) {
    if (request.profilePath.empty()) return true;
    try {
        const calibration::CalibrationProfile profile = calibration::readProfile(request.profilePath);
        loaded.chain.input = profile.input;
        loaded.chain.output = profile.output;
        loaded.description["profile"] = profileDescription(request, profile);
        Json warnings = Json::array();
        for (const std::string& warning : calibration::profileWarnings(profile, setup)) {
            printDiagnostic("warning: " + warning);
            warnings.push_back(warning);
        }
        loaded.description["warnings"] = warnings;
        return true;
    } catch (const calibration::ProfileError& error) {
        printDiagnostic(error.what());
        return false;
    }
}

}  // namespace

std::optional<LoadedCalibration> loadCalibration(const CalibrationRequest& request, const calibration::Setup& setup) {
    LoadedCalibration loaded;
    loaded.description = Json::object();
    loaded.description["mic_cal"] = nullptr;
    loaded.description["profile"] = nullptr;
    if (!loadMicCal(request, loaded) || !loadProfile(request, setup, loaded)) return std::nullopt;
    loaded.chain.driveVolts = request.driveVolts;
    loaded.chain.distanceM = request.distanceM;
    loaded.chain.normalizeDistanceM = request.normalizeDistanceM;
    loaded.playbackLevelDb = request.playbackLevelDb;
    loaded.description["playback_level_dbfs"] = request.playbackLevelDb;
    loaded.description["drive_volts"] = optionalNumber(request.driveVolts);
    loaded.description["distance_m"] = optionalNumber(request.distanceM);
    loaded.description["normalize_distance_m"] = optionalNumber(request.normalizeDistanceM);
    loaded.description["magnitude_unit"] = magnitudeUnit(loaded);
    return loaded;
}

std::string magnitudeUnit(const LoadedCalibration& loaded) {
    const auto& chain = loaded.chain;
    if (!chain.input || !chain.input->dbfsAt94DbSpl) return "dB re full scale";
    std::string unit = "dB SPL";
    char part[64];
    if (chain.driveVolts) {
        std::snprintf(part, sizeof part, " at %.6g V", *chain.driveVolts);
        unit += part;
    }
    const auto distance = chain.normalizeDistanceM ? chain.normalizeDistanceM : chain.distanceM;
    if (distance) {
        std::snprintf(part, sizeof part, "%s%.6g m", chain.driveVolts ? ", " : " at ", *distance);
        unit += part;
    }
    return unit;
}

}  // namespace auralyn::cli
