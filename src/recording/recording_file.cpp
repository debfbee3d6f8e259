#include "recording/recording_file.h"
#include "recording/sndfile_api.h"


#include <cmath>
#include <memory>
#include <optional>

namespace auralyn::recording {
namespace {

constexpr int kMaxChannels = 1024;
constexpr sf_count_t kChunkFrames = 16384;

struct FileCloser {
    void operator()(SNDFILE* file) const { sndFile().api.close(file); }
};
using SoundFile = std::unique_ptr<SNDFILE, FileCloser>;

[[noreturn]] void fail(const std::string& path, const std::string& problem) {
    throw RecordingError(path + ": " + problem);
}

std::optional<SampleEncoding> encodingOf(int subtype) {
    switch (subtype) {
        case SF_FORMAT_PCM_U8:
        case SF_FORMAT_PCM_S8: return SampleEncoding::pcm8;
        case SF_FORMAT_PCM_16: return SampleEncoding::pcm16;
        case SF_FORMAT_PCM_24: return SampleEncoding::pcm24;
        case SF_FORMAT_PCM_32: return SampleEncoding::pcm32;
        case SF_FORMAT_FLOAT: return SampleEncoding::float32;
        case SF_FORMAT_DOUBLE: return SampleEncoding::float64;
        default: return std::nullopt;
    }
}

bool isWaveContainer(int major) { return major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_RF64; }

SoundFile openChecked(const std::string& path, RecordingFormat& format) {
    if (!sndFile().ok()) fail(path, sndFile().error);
    SF_INFO info{};
    SoundFile file(sndFile().api.open(path.c_str(), SFM_READ, &info));
    if (!file) fail(path, std::string("not a readable recording (") + sndFile().api.strerror(nullptr) + ")");
    if (!isWaveContainer(info.format & SF_FORMAT_TYPEMASK)) fail(path, "not a WAV file");
    const auto encoding = encodingOf(info.format & SF_FORMAT_SUBMASK);
    if (!encoding) fail(path, "compressed or unusual samples (only 8/16/24/32-bit PCM and 32/64-bit float are read)");
    if (info.channels < 1 || info.channels > kMaxChannels) fail(path, "impossible channel count");
    if (info.samplerate < 1) fail(path, "impossible sampling rate");
    if (info.frames < 0 || info.frames > kMaxSamples / info.channels) {
        fail(path, "too long to read (more than " + std::to_string(kMaxSamples) + " samples)");
    }
    format.sampleRate = info.samplerate;
    format.channels = info.channels;
    format.frames = info.frames;
    format.encoding = *encoding;
    format.extensible = (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAVEX;
    return file;
}

sf_count_t readFrames(SNDFILE* file, double* out, sf_count_t frames) { return sndFile().api.readfDouble(file, out, frames); }
sf_count_t readFrames(SNDFILE* file, float* out, sf_count_t frames) { return sndFile().api.readfFloat(file, out, frames); }

template <typename Sample>
Recording<Sample> readAll(const std::string& path) {
    Recording<Sample> recording;
    const SoundFile file = openChecked(path, recording.format);
    const auto channels = static_cast<std::size_t>(recording.format.channels);
    const auto frames = static_cast<std::size_t>(recording.format.frames);
    // Integer samples scaled by 2^(bits-1), so that codes map exactly;
    // float samples as they are, not clipped.
    sndFile().api.command(file.get(), SFC_SET_NORM_DOUBLE, nullptr, SF_TRUE);
    sndFile().api.command(file.get(), SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    recording.channels.assign(channels, std::vector<Sample>(frames));
    std::vector<Sample> interleaved(static_cast<std::size_t>(kChunkFrames) * channels);
    std::size_t done = 0;
    while (done < frames) {
        const sf_count_t wanted = std::min<sf_count_t>(kChunkFrames, static_cast<sf_count_t>(frames - done));
        const sf_count_t got = readFrames(file.get(), interleaved.data(), wanted);
        if (got <= 0) fail(path, "the samples end before the length the header states");
        for (std::size_t frame = 0; frame < static_cast<std::size_t>(got); ++frame) {
            for (std::size_t channel = 0; channel < channels; ++channel) {
                const Sample value = interleaved[frame * channels + channel];
                if (!std::isfinite(value)) fail(path, "holds a sample that is not a finite number");
                recording.channels[channel][done + frame] = value;
            }
        }
        done += static_cast<std::size_t>(got);
    }
    return recording;
}

}  // namespace

RecordingFormat probeRecording(const std::string& path) {
    RecordingFormat format;
    openChecked(path, format);
    return format;
}

Recording<double> readRecording(const std::string& path) { return readAll<double>(path); }
Recording<float> readRecordingFloat(const std::string& path) { return readAll<float>(path); }

}  // namespace auralyn::recording
