#include "bench_recordings.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>

#include "long_sweep.h"
#include "wave/wave_file.h"

namespace auralyn::bench {

QuietStdout::QuietStdout() : saved_(dup(STDOUT_FILENO)) {
    std::fflush(stdout);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    close(null);
}

QuietStdout::~QuietStdout() {
    std::fflush(stdout);
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
}

std::string longRecordingIn(const std::string& folderName) {
    static std::set<std::string> written;
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / folderName;
    if (written.insert(folderName).second) {
        std::filesystem::create_directories(folder);
        writeLongSweep(folder.string());
    }
    return (folder / "rec.wav").string();
}

std::vector<std::int16_t> readWholeRecording(const std::string& path) {
    wave::WaveFile wave;
    std::vector<std::int16_t> samples;
    if (!wave.openRead(path.c_str()) || wave.bitsPerSample != 16 || wave.channels != 1) return samples;
    samples.resize(wave.dataSize / 2);
    if (!samples.empty() && !wave.readSamples(samples.data(), static_cast<std::int32_t>(samples.size()))) {
        samples.clear();
    }
    return samples;
}

}  // namespace auralyn::bench
