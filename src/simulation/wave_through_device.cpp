#include "simulation/wave_through_device.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "simulation/device_processor.h"
#include "simulation/sample_output.h"
#include "wave/wave_file.h"

namespace auralyn::simulation {
namespace {

constexpr std::uint64_t kBlockSamples = 1 << 16;

bool openInput(wave::WaveFile& wave, const std::string& path, std::uint64_t& sampleCount, std::string& error) {
    if (!wave.openRead(path.c_str())) {
        error = path + ": not a WAV file that can be read (" + (wave.message ? wave.message : "unknown error") + ")";
        return false;
    }
    if (wave.formatTag != 1 || wave.channels != 1 || wave.bitsPerSample != 16) {
        error = path + ": only 16-bit mono PCM WAV files can be played through the device (this one has " +
                std::to_string(wave.channels) + " channel(s) of " + std::to_string(wave.bitsPerSample) +
                " bits, format " + std::to_string(wave.formatTag) + ")";
        return false;
    }
    if (wave.sampleRate == 0) {
        error = path + ": the sampling rate is 0 Hz";
        return false;
    }
    std::error_code failure;
    const std::uintmax_t fileBytes = std::filesystem::file_size(path, failure);
    if (failure || std::uint64_t{wave.dataStart} + wave.dataSize > fileBytes) {
        error = path + ": the file is cut short: its data chunk announces " + std::to_string(wave.dataSize) +
                " bytes that the file does not hold";
        return false;
    }
    sampleCount = wave.dataSize / 2;
    return true;
}

bool writeBlock(wave::WaveFile& out, const std::vector<double>& block, SampleQuantizer& quantizer,
                DeviceRunSummary& summary, std::string& error) {
    for (double value : block) {
        if (!out.writeSample(quantizer.toSample(value))) {
            error = std::string("writing the output failed (") + (out.message ? out.message : "unknown error") + ")";
            return false;
        }
    }
    summary.samplesOut += block.size();
    return true;
}

bool streamThroughDevice(wave::WaveFile& in, std::uint64_t sampleCount, DeviceProcessor& processor, wave::WaveFile& out,
                         DeviceRunSummary& summary, const std::string& inputPath, std::string& error) {
    SampleQuantizer quantizer;
    std::vector<std::int16_t> samples;
    std::vector<double> block;
    for (std::uint64_t done = 0; done < sampleCount;) {
        const std::uint64_t count = std::min(kBlockSamples, sampleCount - done);
        samples.resize(count);
        if (!in.readSamples(samples.data(), static_cast<std::int32_t>(count))) {
            error = inputPath + ": reading the samples failed";
            return false;
        }
        block.assign(samples.begin(), samples.end());
        if (!processor.process(block, error) || !writeBlock(out, block, quantizer, summary, error)) return false;
        done += count;
    }
    if (!processor.finish(block, error) || !writeBlock(out, block, quantizer, summary, error)) return false;
    summary.clipped = quantizer.clippedCount();
    return true;
}

}  // namespace

bool runDeviceOnWave(const Device& device, const std::string& inputPath, const std::string& outputPath,
                     DeviceRunSummary& summary, std::string& error) {
    wave::WaveFile in;
    std::uint64_t sampleCount = 0;
    if (!openInput(in, inputPath, sampleCount, error)) return false;
    summary.sampleRate = in.sampleRate;
    summary.samplesIn = sampleCount;
    std::optional<DeviceProcessor> processor = DeviceProcessor::create(device, in.sampleRate, error);
    if (!processor) return false;

    return writeStagedWave(outputPath, in.sampleRate, 1, [&](wave::WaveFile& out) {
        return streamThroughDevice(in, sampleCount, *processor, out, summary, inputPath, error);
    }, error);
}

}  // namespace auralyn::simulation
