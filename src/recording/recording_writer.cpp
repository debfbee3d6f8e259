#include "recording/recording_writer.h"
#include "recording/sndfile_api.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace auralyn::recording {
namespace {

struct Closer {
    void operator()(SNDFILE* file) const { sndFile().api.close(file); }
};

// 24-bit codes as 32-bit integers (the code in the top 24 bits), which
// libsndfile writes to 24-bit PCM without scaling or rounding of its own.
std::vector<int> pcm24Codes(const std::vector<float>& frames, double fullScale) {
    std::vector<int> codes(frames.size());
    constexpr double kTop = 8388607.0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const double code = std::clamp(std::nearbyint(frames[i] / fullScale * 8388608.0), -8388608.0, kTop);
        codes[i] = static_cast<int>(code) * 256;
    }
    return codes;
}

}  // namespace

bool writeRecordingFile(const std::string& path, const std::vector<float>& frames, int channels, int rate,
                        WrittenEncoding encoding, double fullScale, std::string& error) {
    if (channels <= 0 || rate <= 0 || frames.size() % static_cast<std::size_t>(channels) != 0) {
        error = "no whole frames to write";
        return false;
    }
    if (!sndFile().ok()) {
        error = sndFile().error;
        return false;
    }
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | (encoding == WrittenEncoding::pcm24 ? SF_FORMAT_PCM_24 : SF_FORMAT_FLOAT);
    const std::unique_ptr<SNDFILE, Closer> file(sndFile().api.open(path.c_str(), SFM_WRITE, &info));
    if (!file) {
        error = std::string("cannot be opened for writing: ") + sndFile().api.strerror(nullptr);
        return false;
    }
    const auto count = static_cast<sf_count_t>(frames.size());
    sf_count_t written = 0;
    if (encoding == WrittenEncoding::pcm24) {
        written = sndFile().api.writeInt(file.get(), pcm24Codes(frames, fullScale).data(), count);
    } else {
        std::vector<float> scaled(frames.size());
        for (std::size_t i = 0; i < frames.size(); ++i) scaled[i] = static_cast<float>(frames[i] / fullScale);
        written = sndFile().api.writeFloat(file.get(), scaled.data(), count);
    }
    if (written != count) {
        error = "could not be written completely (is the disk full?)";
        return false;
    }
    return true;
}

}  // namespace auralyn::recording
