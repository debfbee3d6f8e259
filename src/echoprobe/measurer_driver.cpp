#include "echoprobe/measurer_driver.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "measurer/analysis_loop.h"
#include "echoprobe/exit_prompt.h"
#include "measurer/report.h"
#include "platform/file_dialog.h"
#include "platform/path_names.h"
#include "platform/product.h"
#include "sweep/sweep_layout.h"

namespace auralyn::echoprobe {
namespace {

using platform::DialogSettings;
using platform::FileDialog;

const DialogSettings kRecordingQuestion{
    "Select the recorded sample", "Wave Files (*.wav)\0*.wav\0All Files (*.*)\0*\0", nullptr,
    platform::kFileMustExist};
const DialogSettings kParameterQuestion{
    "Select the sweep paramters file", "Sweep Parameter Files (*.swp)\0*.swp\0All Files (*.*)\0*\0", "swp",
    platform::kFileMustExist};
const DialogSettings kOutputQuestion{
    "Enter a filename for the output", "Text Files (*.txt)\0*.txt\0All Files (*.*)\0*\0", "txt",
    platform::kOverwritePrompt | platform::kNoReadOnlyReturn};

constexpr int kExitFailure = 1;

bool chooseRecording(FileDialog& dialog, wave::WaveFile& recording) {
    for (;;) {
        if (!dialog.askOpen(kRecordingQuestion)) return false;
        if (recording.openRead(dialog.path())) return true;
        platform::showErrorMessage("The selected file could not be opened as a wave file.");
    }
}

bool loadParameters(const char* path, sweep::SweepPlan& plan) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    const bool loaded = plan.readParameters(file);
    std::fclose(file);
    return loaded;
}

bool chooseParameters(FileDialog& dialog, sweep::SweepPlan& plan) {
    dialog.setPath("");
    for (;;) {
        if (!dialog.askOpen(kParameterQuestion)) return false;
        if (loadParameters(dialog.path(), plan)) return true;
        platform::showErrorMessage("The selected file is not a list of sweep parameters.");
    }
}

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code unknown;
    return std::filesystem::equivalent(a, b, unknown);
}

// Opening the report over the recording or the parameter file would destroy
// the measurement's own input, so those are refused like an unwritable file.
bool chooseOutput(FileDialog& dialog, const std::string& proposal, const std::vector<std::string>& inputs,
                  OutputFile& output) {
    dialog.setPath(proposal.c_str());
    for (;;) {
        if (!dialog.askSave(kOutputQuestion)) return false;
        bool isInput = false;
        for (const std::string& input : inputs) isInput = isInput || sameFile(dialog.path(), input);
        if (!isInput) output.reset(std::fopen(dialog.path(), "wt"));
        if (output) return true;
        platform::showErrorMessage("The selected file could not be opened for output.");
    }
}

void printBanner() {
    std::printf("\n--- Echoprobe ---\n");
    std::printf("%s version %s\n", platform::kProductName, platform::kProductVersion);
    std::fflush(stdout);
}

// A report that did not reach the disk whole must not pass for a measurement.
bool closeOutput(OutputFile& output) {
    const bool written = std::ferror(output.get()) == 0;
    return std::fclose(output.release()) == 0 && written;
}

int measure(sweep::SweepPlan& plan, wave::WaveFile& recording, OutputFile& output, const std::string& recordedName) {
    if (!checkFormat(plan, recording)) return kExitFailure;
    measurer::writeHeader(plan, recordedName.c_str(), output.get());
    if (!recording.skipSamples(sweep::measurerLeadInSamples(plan.params()))) {
        std::printf("\nError: Input wave file ended before expected.");
        return kExitFailure;
    }
    std::vector<measurer::ToneResult> results;
    if (!measurer::analyzeRecording(plan, recording, results, plan.toneCount())) return kExitFailure;
    measurer::writeResults(results.data(), results.size(), output.get());
    return 0;
}

}  // namespace

bool selectFiles(wave::WaveFile& recording, sweep::SweepPlan& plan, OutputFile& output, std::string& recordedName) {
    FileDialog dialog;
    if (!chooseRecording(dialog, recording)) return false;
    const std::string recordingPath = dialog.path();
    const platform::RecordingName name = platform::recordingName(recordingPath, dialog.fileOffset(), dialog.extensionOffset());
    if (!chooseParameters(dialog, plan)) return false;
    const std::string parameterPath = dialog.path();
    if (!chooseOutput(dialog, name.baseName, {recordingPath, parameterPath}, output)) return false;
    recordedName = name.fileName;
    return true;
}

bool checkFormat(const sweep::SweepPlan& plan, const wave::WaveFile& recording) {
    if (recording.channels != 1) {
        std::printf("\nError: Please only use input wave files with one channel (mono).");
        return false;
    }
    if (recording.bitsPerSample != 16) {
        std::printf("\nError: Please only use input wave files with 16-bit samples.");
        return false;
    }
    const std::uint32_t rate = plan.params().sampleRate;
    if (recording.sampleRate != rate) {
        std::printf("\nError: The input wave file's sampling rate is not the same as the");
        std::printf("\nsampling rate of the original tone sweep. The sampling rate");
        std::printf("\nshould be %u Hz.", static_cast<unsigned>(rate));
        return false;
    }
    return true;
}

int runEchoprobe() {
    printBanner();
    wave::WaveFile recording;
    sweep::SweepPlan plan;
    OutputFile output;
    std::string recordedName;
    if (!selectFiles(recording, plan, output, recordedName)) return 0;
    plan.lock();
    registerExitPrompt();
    int exitCode = measure(plan, recording, output, recordedName);
    if (!closeOutput(output) && exitCode == 0) {
        std::printf("\nError: The output file could not be written completely.");
        exitCode = kExitFailure;
    }
    std::fflush(stdout);
    return exitCode;
}

}  // namespace auralyn::echoprobe
