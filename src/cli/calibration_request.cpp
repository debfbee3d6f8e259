#include "cli/calibration_request.h"

#include <CLI/CLI.hpp>

namespace auralyn::cli {

void addCalibrationOptions(CLI::App* command, CalibrationRequest& r) {
    CLI::Option* micCal =
        command->add_option("--mic-cal", r.micCalPath,
                            "the microphone's (or interface's) calibration file: its response is taken out of every "
                            "tone inside its range; tones outside are flagged calibrated=false")
            ->type_name("FILE");
    command->add_flag("--invert-cal", r.invertMicCal, "the --mic-cal file holds the correction, not the response")
        ->needs(micCal);
    command->add_option("--calibration", r.profilePath,
                        "the setup's calibration profile (auralyn calibrate): spl_db, dbv and gain_db per tone")
        ->type_name("PROFILE.json");
    command->add_option("--drive-volts", r.driveVolts,
                        "report the SPL at this drive (dB SPL at V); with a calibrated output the measured drive "
                        "is normalised to it")
        ->type_name("V")
        ->check(CLI::PositiveNumber);
    CLI::Option* distance =
        command->add_option("--distance", r.distanceM, "the microphone's distance, stated in the outputs")
            ->type_name("M")
            ->check(CLI::PositiveNumber);
    command->add_option("--normalize-distance", r.normalizeDistanceM,
                        "move the SPL to this distance by the inverse-square law (needs --distance)")
        ->type_name("M")
        ->check(CLI::PositiveNumber)
        ->needs(distance);
}

}  // namespace auralyn::cli
