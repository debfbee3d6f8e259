#include "cli/measure_options.h"

#include "cli/commands.h"
#include "cli/diagnostics.h"
#include "cli/measure_files.h"
#include "cli/shared_options.h"
#include "platform/staged_file.h"

namespace auralyn::cli {

void addMeasureOptions(CLI::App* command, MeasureCommand& m) {
    const std::vector<CLI::Option*> sweepOptions = addSweepOptions(command, m.sweep);
    CLI::Option* given = command->add_option("--sweep", m.givenSweep,
                                             "play this sweep (16-bit mono WAV and its parameter file) instead of "
                                             "making one from the options above")
                             ->expected(2)
                             ->type_name("S.wav S.swp");
    for (CLI::Option* option : sweepOptions) given->excludes(option);
    addShownOption(command, "--output-device", m.outputDevice,
                   "the device that plays the sweep (see 'auralyn devices'); an exact name or a unique part of one",
                   "NAME", "the system's default output");
    addShownOption(command, "--input-device", m.inputDevice, "the device that records", "NAME",
                   "the system's default input");
    addShownOption(command, "--output-channels", m.outputChannels, "the output channels that play the sweep", "L|R|LR",
                   "LR")
        ->check(CLI::IsMember({"L", "R", "LR"}));
    addShownOption(command, "--input-channel", m.inputChannel, "the input channel of the device under test, from 1",
                   "N", "1")
        ->check(CLI::Range(1, 64));
    addShownOption(command, "--reference-channel", m.referenceChannel,
                   "an input channel wired straight from the output (loopback): the response is then the device "
                   "channel divided by it, tone by tone",
                   "M", "none")
        ->check(CLI::Range(1, 64));
    addReportFileOptions(command, m.reportPath, m.csvPath, m.jsonPath,
                         {"without -o, --csv and --json: measurement.txt here, or REC.txt with --keep-recording",
                          "write one row per tone", "write the result as JSON"});
    addShownOption(command, "--plot", m.plotPath, "draw the response as a Bode plot", "OUT.svg", "none");
    addShownOption(command, "--keep-recording", m.keepRecording,
                   "keep the recording as a 16-bit WAV file (after Ctrl-C too, up to that point)", "REC.wav",
                   "the recording is removed after the analysis");
    command->add_flag("-q,--quiet", m.quiet, "no progress bar, level meter or analysis progress");
    command->add_flag("--impedance", m.impedance,
                      "measure an impedance as 'auralyn impedance' does: -o writes ZMA, the reference channel "
                      "(default 2) is the drive at the output side of the sense resistor");
    command->add_option("--sense-resistor", m.senseOhms, "the sense resistor in ohms, with --impedance")
        ->type_name("OHMS");
    addShownOption(command, "--level", m.levelDbfs,
                   "play the sweep and its sync pulse at this level; magnitudes stay the device's gain", "DBFS",
                   "0 (full scale)")
        ->check(CLI::Range(-60.0, 0.0));
    command->add_option("--bits", m.bits,
                        "the recording's samples: 16 (what echoprobe also reads), 24 or 32f (float); deeper "
                        "recordings keep the floor of a quiet microphone")
        ->check(CLI::IsMember({"auto", "16", "24", "32f"}))
        ->default_str("auto: 24 where the input device takes it and the build can measure it, else 16");
#ifdef AURALYN_HAVE_CALIBRATION
    addCalibrationOptions(command, m.calibration);
#endif
}

std::vector<std::string> outputPaths(const MeasureCommand& m) {
    std::vector<std::string> paths;
    for (const std::string* path : {&m.reportPath, &m.csvPath, &m.jsonPath, &m.plotPath}) {
        if (!path->empty()) paths.push_back(*path);
    }
    return paths;
}

int checkMeasureCommandLine(const MeasureCommand& m) {
    if (m.impedance != (m.senseOhms != 0.0) || (m.impedance && !(m.senseOhms > 0.0))) {
        printDiagnostic("--impedance needs --sense-resistor OHMS above 0, and --sense-resistor goes with --impedance");
        return kExitUsage;
    }
    if (m.bits != "16" && !deepCapturesWork()) {
        printDiagnostic("--bits " + m.bits + ": this build records and measures 16-bit samples only");
        return kExitUsage;
    }
    if (m.referenceChannel == m.inputChannel) {
        printDiagnostic("--reference-channel " + std::to_string(m.referenceChannel) +
                        " is the --input-channel; the reference is another input channel");
        return kExitUsage;
    }
    if (m.keepRecording.empty()) return kExitSuccess;
    std::vector<std::string> others = outputPaths(m);
    others.insert(others.end(), m.givenSweep.begin(), m.givenSweep.end());
    for (const std::string& other : others) {
        if (platform::samePlace(m.keepRecording, other)) {
            printDiagnostic(m.keepRecording + ": given for the recording and for another file; choose one for each");
            return kExitUsage;
        }
    }
    return kExitSuccess;
}

}  // namespace auralyn::cli
