#include "cli/recording_input.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "cli/diagnostics.h"

namespace auralyn::cli {
namespace {

bool exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

constexpr std::uint16_t kPcm = 1;
constexpr std::uint16_t kExtensible = 0xFFFE;

}  // namespace

bool openRecording(const std::string& path, wave::WaveFile& recording) {
    if (!exists(path)) {
        printDiagnostic(path + ": no such file");
        return false;
    }
    if (recording.openRead(path.c_str())) {
        recording.endBeforeTrailingChunks();
        return true;
    }
    printDiagnostic(path + ": could not be opened as a wave file" +
                    (recording.message != nullptr ? std::string(" (") + recording.message + ")" : std::string()));
    return false;
}

bool loadParameters(const std::string& path, sweep::SweepPlan& plan) {
    if (!exists(path)) {
        printDiagnostic(path + ": no such file");
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    const bool loaded = file != nullptr && plan.readParameters(file);
    if (file != nullptr) std::fclose(file);
    if (!loaded) printDiagnostic(path + ": not a list of sweep parameters (a .swp file written with the sweep)");
    return loaded;
}

bool checkRecordingFormat(const std::string& path, const wave::WaveFile& recording, const sweep::SweepPlan& plan) {
    const std::uint32_t rate = plan.params().sampleRate;
    std::string problem;
    if (recording.channels == 0) {
        problem = "has no channels";
    } else if (recording.bitsPerSample != 16) {
        problem = "has " + std::to_string(recording.bitsPerSample) +
                  "-bit samples; only 16-bit samples can be measured";
    } else if (recording.blockAlign != 2u * recording.channels) {
        // echoprobe steps through the samples by the block align but reads them
        // by the channel count: a header where the two disagree is damaged.
        problem = "its header's block align, " + std::to_string(recording.blockAlign) +
                  " bytes, is not the channel count times 2 bytes (" + std::to_string(2u * recording.channels) +
                  "): the header is damaged";
    } else if (recording.sampleRate != rate) {
        problem = "its sampling rate, " + std::to_string(recording.sampleRate) +
                  " Hz, is not that of the sweep; it should be " + std::to_string(rate) + " Hz";
    } else if (recording.formatTag != kPcm && recording.formatTag != kExtensible) {
        problem = "does not hold PCM samples (format " + std::to_string(recording.formatTag) + ")";
    }
    if (problem.empty()) return true;
    printDiagnostic(path + ": " + problem);
    return false;
}

}  // namespace auralyn::cli
