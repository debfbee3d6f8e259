#pragma once

// The files of one `auralyn measure` run: a private scratch folder for the
// sweep and the recording, the sweep read back for playing, the recording
// written as a WAV file, and the look at the recording before it is analysed.
#include <cstdint>
#include <string>
#include <vector>

#include "audio/audio_session.h"
#include "platform/non_copyable.h"
#include "sweep/sweep_plan.h"

namespace auralyn::cli {

// A folder of its own under the system's temporary folder, removed with
// everything in it when the object goes.
class ScratchFolder : platform::NonCopyable {
public:
    ScratchFolder() = default;
    ~ScratchFolder();

    bool create(std::string& error);
    std::string file(const std::string& name) const;

private:
    std::string path_;
};

// The sweep's parameter file into a locked plan, and its WAV file's samples,
// which must be 16-bit mono PCM at the plan's rate. False with the reason.
bool loadSweep(const std::string& wavePath, const std::string& parameterPath, sweep::SweepPlan& plan,
               std::vector<std::int16_t>& samples, std::string& error);

// Interleaved frames in 16-bit units as a WAV file of the capture's format
// (16-bit or 24-bit PCM, 32-bit float), under a temporary name renamed to
// `path` when complete. False with the reason (the path included).
bool writeRecording(const std::string& path, const std::vector<float>& frames, int channels, int rate,
                    audio::CaptureFormat format, std::string& error);

// Whether this build can keep and measure captures deeper than 16 bits.
bool deepCapturesWork();

// The largest magnitude on one channel (counted from 0) of interleaved frames,
// rounded to a 16-bit code.
int channelPeak(const std::vector<float>& frames, int channels, int channel);

// How many samples on one channel sit at full scale (32767 or -32768, or -32767).
std::size_t fullScaleCount(const std::vector<float>& frames, int channels, int channel);
std::size_t fullScaleCount(const std::vector<std::int16_t>& frames, int channels, int channel);

// Full scale is 0 dBFS; silence is -200.
double peakDbfs(int peak);

}  // namespace auralyn::cli
