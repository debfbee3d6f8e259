#include "tonesmith/tonesmith_driver.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

#include "generator/console_input.h"
#include "generator/parameter_dialogue.h"
#include "generator/sweep_refusal.h"
#include "generator/sweep_synthesis.h"
#include "platform/console.h"
#include "platform/path_names.h"
#include "platform/product.h"
#include "sweep/sweep_plan.h"

namespace auralyn::tonesmith {

const char* const kTonesmithUsage =
    "Usage: tonesmith [--help | --version]\n"
    "\n"
    "Writes a stepped-sine frequency sweep for measuring the frequency response of an\n"
    "audio device: a mono 16-bit WAV file to play through the device while recording\n"
    "it, and a sweep parameter file (.swp) that echoprobe needs to measure the recording.\n"
    "\n"
    "It asks first for the name of the WAV file, then for the name of the parameter\n"
    "file (an empty answer takes the proposal in brackets), then for the sweep\n"
    "parameters on the console (an empty answer takes the default). On Windows with a\n"
    "console the two files are chosen in the standard save dialog. The answers may be\n"
    "piped, one per line; this writes a sweep with every default:\n"
    "  printf 'sweep.wav\\n\\n\\n\\n\\n\\n\\n\\n\\n\\nn\\n' | tonesmith\n"
    "\n"
    "Exit status: 0 when the sweep was written or a file question was cancelled (end\n"
    "of input); 1 when something failed (nothing is left behind); 2 for a wrong argument.\n";

namespace {

using platform::DialogSettings;

constexpr DialogSettings kWaveFileQuestion{
    "Enter a name for the output wave file", "Wave Files (*.wav)\0*.wav\0All Files (*.*)\0*\0", "wav",
    platform::kOverwritePrompt | platform::kNoReadOnlyReturn};
constexpr DialogSettings kParameterFileQuestion{
    "Enter a name for the sweep parameters file", "Sweep Parameter Files (*.swp)\0*.swp\0All Files (*.*)\0*\0", "swp",
    platform::kOverwritePrompt | platform::kNoReadOnlyReturn};

constexpr const char* kCannotOpen = "The selected file could not be opened.";

// Also for names that do not exist yet, since the chosen files are created only
// at the end of the run.
bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ignored;
    if (std::filesystem::equivalent(a, b, ignored)) return true;
    const std::filesystem::path first = std::filesystem::weakly_canonical(a, ignored);
    const std::filesystem::path second = std::filesystem::weakly_canonical(b, ignored);
    return !first.empty() && first == second;
}

bool chooseWaveFile(platform::FileDialog& dialog, wave::WaveFile& wave, OutputFiles& files) {
    for (;;) {
        if (!dialog.askSave(kWaveFileQuestion)) return false;
        files.wave = stageFile(dialog.path());
        if (wave.openWrite(files.wave.written.c_str())) break;
        platform::showErrorMessage(kCannotOpen);
    }
    return true;
}

bool chooseParameterFile(platform::FileDialog& dialog, OutputFiles& files) {
    for (;;) {
        if (!dialog.askSave(kParameterFileQuestion)) return false;
        // Opening the wave file again with "wb" would interleave the two files in one.
        if (sameFile(dialog.path(), files.wave.chosen) || sameFile(dialog.path(), files.wave.written)) {
            platform::showErrorMessage("The parameter file cannot be the output wave file.");
            continue;
        }
        files.parameterFile = stageFile(dialog.path());
        files.parameters = std::fopen(files.parameterFile.written.c_str(), "wb");
        if (files.parameters != nullptr) break;
        platform::showErrorMessage(kCannotOpen);
    }
    return true;
}

void printError(const std::string& text) {
    std::printf("\nError: %s\n", text.c_str());
    std::fflush(stdout);
}

// Whatever was written goes: the temporary files are removed, and a device or
// link written directly keeps a header that claims no samples. The files that
// had the chosen names are untouched.
void discardOutput(wave::WaveFile& wave, OutputFiles& files) {
    if (files.parameters != nullptr) std::fclose(files.parameters);
    files.parameters = nullptr;
    wave.setFormat(0, 0, 0);
    wave.close();
    discardStagedFile(files.wave);
    discardStagedFile(files.parameterFile);
}

int abandonRun(wave::WaveFile& wave, OutputFiles& files) {
    discardOutput(wave, files);
    return 1;
}

// Both files are complete: they take the chosen names, the parameter file
// first, so that a sweep file under its name always has its parameters.
bool publishOutput(const OutputFiles& files) {
    return commitStagedFile(files.parameterFile) && commitStagedFile(files.wave);
}

bool saveParameters(const sweep::SweepPlan& plan, OutputFiles& files) {
    const bool written = plan.writeParameters(files.parameters);
    const bool closed = std::fclose(files.parameters) == 0;
    files.parameters = nullptr;
    return written && closed;
}

std::uint32_t loadU32(const unsigned char* bytes) {
    return bytes[0] | (std::uint32_t{bytes[1]} << 8) | (std::uint32_t{bytes[2]} << 16) |
           (std::uint32_t{bytes[3]} << 24);
}

// Reads the finished file back: its header must carry the final sizes and the
// samples must all have reached the disk.
bool waveFileIsComplete(const std::string& path, std::uint32_t dataSize) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return true;  // a device keeps nothing to check
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size != std::uintmax_t{44} + dataSize) return false;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    unsigned char header[44];
    const bool read = std::fread(header, 1, sizeof header, file) == sizeof header;
    std::fclose(file);
    return read && loadU32(header + 4) == dataSize + 36u && loadU32(header + 40) == dataSize;
}

}  // namespace

bool selectOutputFiles(platform::FileDialog& dialog, wave::WaveFile& wave, OutputFiles& files) {
    dialog.setPath("");
    if (!chooseWaveFile(dialog, wave, files)) return false;
    // The parameter file is proposed in the wave file's folder under its name.
    dialog.setPath(platform::withoutExtension(dialog.path(), dialog.extensionOffset()).c_str());
    if (chooseParameterFile(dialog, files)) return true;
    discardOutput(wave, files);
    return false;
}

int runTonesmith() {
    std::printf("\n--- Tonesmith ---\n");
    std::printf("%s version %s\n", platform::kProductName, platform::kProductVersion);

    wave::WaveFile wave;
    platform::FileDialog dialog;
    OutputFiles files;
    if (!selectOutputFiles(dialog, wave, files)) return 0;

    sweep::SweepPlan plan;
    generator::ConsoleInput input{stdin, stdout, platform::standardInputIsTerminal()};
    if (!generator::askSweepParameters(plan, input)) {
        printError("The input ended at a question that has no default; nothing was written.");
        return abandonRun(wave, files);
    }
    plan.lock();
    if (const std::optional<std::string> refusal = generator::sweepRefusal(plan)) {
        printError(*refusal);
        return abandonRun(wave, files);
    }

    if (!saveParameters(plan, files)) {
        printError("Couldn't write the sweep parameter file " + files.parameterFile.chosen + ".");
        return abandonRun(wave, files);
    }

    wave.setFormat(44100, 16, 1);
    wave.setSampleRate(plan.params().sampleRate);
    if (!generator::generateSweep(plan, wave)) {
        printError("Couldn't write the samples to " + files.wave.chosen + " (is the disk full?).");
        return abandonRun(wave, files);
    }
    const std::uint32_t dataSize = wave.dataSize;
    if (!wave.close() || !waveFileIsComplete(files.wave.written, dataSize)) {
        printError("Couldn't finish the header of the wave file " + files.wave.chosen + ".");
        return abandonRun(wave, files);
    }
    if (!publishOutput(files)) {
        printError("Couldn't rename the finished files to " + files.wave.chosen + " and " +
                   files.parameterFile.chosen + ".");
        return abandonRun(wave, files);
    }
    return 0;
}

}  // namespace auralyn::tonesmith
