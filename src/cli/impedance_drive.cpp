#include "cli/impedance_drive.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "cli/diagnostics.h"
#ifdef AURALYN_HAVE_CALIBRATION
#include "calibration/profile.h"
#endif

namespace auralyn::cli {
namespace {

// The drive channel's level of a 1 V RMS sine when its median tone is `volts`.
std::optional<double> fromVoltmeter(const impedance::ImpedanceCurve& curve, double volts) {
    std::vector<double> levels;
    for (const impedance::ImpedancePoint& p : curve)
        if (p.driveDbfs) levels.push_back(*p.driveDbfs);
    if (levels.empty()) return std::nullopt;
    std::nth_element(levels.begin(), levels.begin() + static_cast<long>(levels.size() / 2), levels.end());
    return levels[levels.size() / 2] - 20.0 * std::log10(volts);
}

// False when the profile cannot be read; none when it holds no volts calibration.
bool fromProfile(const std::string& path, std::optional<double>& dbfsAt1Vrms) {
#ifdef AURALYN_HAVE_CALIBRATION
    try {
        const calibration::CalibrationProfile profile = calibration::readProfile(path);
        if (profile.input && profile.input->dbfsAt1Vrms) dbfsAt1Vrms = profile.input->dbfsAt1Vrms;
        else printDiagnostic("warning: " + path + " holds no volts calibration of the input: the drive stays in dBFS");
        return true;
    } catch (const calibration::ProfileError& e) {
        printDiagnostic(e.what());
        return false;
    }
#else
    printDiagnostic("--calibration is not available in this build");
    (void)path;
    (void)dbfsAt1Vrms;
    return false;
#endif
}

}  // namespace

bool addDriveVolts(const ImpedanceRequest& request, impedance::ImpedanceCurve& curve) {
    std::optional<double> dbfsAt1Vrms;
    if (request.driveVolts) dbfsAt1Vrms = fromVoltmeter(curve, *request.driveVolts);
    else if (!request.calibrationPath.empty() && !fromProfile(request.calibrationPath, dbfsAt1Vrms)) return false;
    if (!dbfsAt1Vrms) return true;
    for (impedance::ImpedancePoint& p : curve)
        if (p.driveDbfs) p.driveVolts = std::pow(10.0, (*p.driveDbfs - *dbfsAt1Vrms) / 20.0);
    return true;
}

}  // namespace auralyn::cli
