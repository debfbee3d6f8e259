#include "cli/measure_files.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "analysis/sample.h"
#include "platform/staged_file.h"
#include "wave/wave_file.h"
#ifdef AURALYN_HAVE_CALIBRATION
#include "recording/recording_writer.h"
#endif

namespace auralyn::cli {

namespace fs = std::filesystem;

ScratchFolder::~ScratchFolder() {
    if (path_.empty()) return;
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

// create_directory fails on a name that exists, so a name another process
// took (or planted) is never shared: try another.
bool ScratchFolder::create(std::string& error) {
    std::error_code code;
    const fs::path base = fs::temp_directory_path(code);
    if (code) {
        error = "no temporary folder for the sweep (" + code.message() + ")";
        return false;
    }
    std::mt19937_64 random(static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                           std::random_device{}());
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[40];
        std::snprintf(name, sizeof name, "auralyn-measure-%016llx", static_cast<unsigned long long>(random()));
        const fs::path candidate = base / name;
        if (fs::create_directory(candidate, code)) {
            fs::permissions(candidate, fs::perms::owner_all, fs::perm_options::replace, code);
            path_ = candidate.string();
            return true;
        }
    }
    error = "cannot make a folder for the sweep in " + base.string();
    return false;
}

std::string ScratchFolder::file(const std::string& name) const { return (fs::path(path_) / name).string(); }

namespace {

constexpr std::uint16_t kPcm = 1;
constexpr std::uint16_t kExtensible = 0xFFFE;

bool loadPlan(const std::string& path, sweep::SweepPlan& plan, std::string& error) {
    std::error_code code;
    if (!fs::exists(path, code)) {
        error = path + ": no such file";
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    const bool loaded = file != nullptr && plan.readParameters(file);
    if (file != nullptr) std::fclose(file);
    if (!loaded) error = path + ": not a list of sweep parameters (a .swp file written with the sweep)";
    return loaded;
}

std::string formatProblem(const wave::WaveFile& wave, std::uint32_t rate) {
    if (wave.formatTag != kPcm && wave.formatTag != kExtensible) return "does not hold PCM samples";
    if (wave.bitsPerSample != 16) return "has " + std::to_string(wave.bitsPerSample) + "-bit samples, not 16-bit";
    if (wave.channels != 1) return "has " + std::to_string(wave.channels) + " channels; a sweep is mono";
    if (wave.sampleRate != rate) {
        return "its rate, " + std::to_string(wave.sampleRate) + " Hz, is not the parameter file's " +
               std::to_string(rate) + " Hz";
    }
    return {};
}

}  // namespace

bool loadSweep(const std::string& wavePath, const std::string& parameterPath, sweep::SweepPlan& plan,
               std::vector<std::int16_t>& samples, std::string& error) {
    if (!loadPlan(parameterPath, plan, error)) return false;
    plan.lock();
    std::error_code code;
    if (!fs::exists(wavePath, code)) {
        error = wavePath + ": no such file";
        return false;
    }
    wave::WaveFile wave;
    if (!wave.openRead(wavePath.c_str())) {
        error = wavePath + ": could not be opened as a wave file";
        return false;
    }
    if (const std::string problem = formatProblem(wave, plan.params().sampleRate); !problem.empty()) {
        error = wavePath + ": " + problem;
        return false;
    }
    // Read in blocks, so that a header claiming more than the file holds costs nothing.
    const std::uint64_t total = wave.dataSize / 2;
    std::vector<std::int16_t> block(65536);
    samples.clear();
    while (samples.size() < total) {
        const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), total - samples.size()));
        if (!wave.readSamples(block.data(), static_cast<std::int32_t>(count))) {
            error = wavePath + ": ends before its samples do";
            return false;
        }
        samples.insert(samples.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(count));
    }
    if (samples.empty()) {
        error = wavePath + ": holds no samples";
        return false;
    }
    return true;
}

namespace {

// The kit's own 16-bit writer: a 16-bit capture holds whole codes.
bool write16(const std::string& writePath, const std::vector<float>& frames, int channels, int rate) {
    wave::WaveFile wave;
    if (!wave.openWrite(writePath.c_str())) return false;
    wave.setFormat(static_cast<std::uint32_t>(rate), 16, static_cast<std::int16_t>(channels));
    bool written = true;
    for (const float sample : frames) {
        if (!wave.writeSample(analysis::nearestCode(sample))) {
            written = false;
            break;
        }
    }
    return wave.close() && written;
}

bool writeDeep([[maybe_unused]] const std::string& writePath, [[maybe_unused]] const std::vector<float>& frames,
               [[maybe_unused]] int channels, [[maybe_unused]] int rate, [[maybe_unused]] audio::CaptureFormat format) {
#ifdef AURALYN_HAVE_CALIBRATION
    const auto encoding = format == audio::CaptureFormat::Int24 ? recording::WrittenEncoding::pcm24
                                                                 : recording::WrittenEncoding::float32;
    std::string ignored;
    return recording::writeRecordingFile(writePath, frames, channels, rate, encoding, 32768.0, ignored);
#else
    return false;
#endif
}

}  // namespace

bool deepCapturesWork() {
#ifdef AURALYN_HAVE_CALIBRATION
    return true;
#else
    return false;
#endif
}

bool writeRecording(const std::string& path, const std::vector<float>& frames, int channels, int rate,
                    audio::CaptureFormat format, std::string& error) {
    platform::StagedFile file(path);
    const bool written = format == audio::CaptureFormat::Int16 ? write16(file.writePath(), frames, channels, rate)
                                                               : writeDeep(file.writePath(), frames, channels, rate, format);
    if (!written) {
        error = path + ": could not be written completely (can it be written? is the disk full?)";
        return false;
    }
    if (!file.commit(error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

int channelPeak(const std::vector<float>& frames, int channels, int channel) {
    int peak = 0;
    for (std::size_t i = static_cast<std::size_t>(channel); i < frames.size(); i += static_cast<std::size_t>(channels)) {
        peak = std::max(peak, std::abs(static_cast<int>(analysis::nearestCode(frames[i]))));
    }
    return peak;
}

template <typename T>
std::size_t countAtFullScale(const std::vector<T>& frames, int channels, int channel) {
    std::size_t count = 0;
    for (std::size_t i = static_cast<std::size_t>(channel); i < frames.size(); i += static_cast<std::size_t>(channels)) {
        if (std::fabs(static_cast<float>(frames[i])) >= 32767.0f) ++count;
    }
    return count;
}

std::size_t fullScaleCount(const std::vector<float>& frames, int channels, int channel) {
    return countAtFullScale(frames, channels, channel);
}

std::size_t fullScaleCount(const std::vector<std::int16_t>& frames, int channels, int channel) {
    return countAtFullScale(frames, channels, channel);
}

double peakDbfs(int peak) { return peak <= 0 ? -200.0 : 20.0 * std::log10(peak / 32768.0); }

}  // namespace auralyn::cli
