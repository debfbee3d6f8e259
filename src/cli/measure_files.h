#pragma once

// The files of one `auralyn measure` run: a private scratch folder for the
// sweep and the recording, the sweep read back for playing, the recording
// written as a WAV file, and the look at the recording before it is analysed.
#include <cstdint>
#include <string>
#include <vector>

#include "sweep/sweep_plan.h"

namespace auralyn::cli {

// A folder of its own under the system's temporary folder, removed with
// everything in it when the object goes.
class ScratchFolder {
public:
    ScratchFolder() = default;
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool create(std::string& error);
    std::string file(const std::string& name) const;

private:
    std::string path_;
};

// The sweep's parameter file into a locked plan, and its WAV file's samples,
// which must be 16-bit mono PCM at the plan's rate. False with the reason.
bool loadSweep(const std::string& wavePath, const std::string& parameterPath, sweep::SweepPlan& plan,
               std::vector<std::int16_t>& samples, std::string& error);

// Interleaved 16-bit frames as a WAV file, under a temporary name renamed to
// `path` when complete. False with the reason (the path included).
bool writeRecording(const std::string& path, const std::vector<std::int16_t>& frames, int channels, int rate,
                    std::string& error);

// The largest magnitude on one channel (counted from 0) of interleaved frames.
int channelPeak(const std::vector<std::int16_t>& frames, int channels, int channel);

// How many samples on one channel sit at full scale (32767 or -32768, or -32767).
std::size_t fullScaleCount(const std::vector<std::int16_t>& frames, int channels, int channel);

// Full scale is 0 dBFS; silence is -200.
double peakDbfs(int peak);

}  // namespace auralyn::cli
