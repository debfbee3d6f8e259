#include "simulation/driver_recording.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "simulation/device_processor.h"
#include "simulation/sample_output.h"
#include "simulation/exact_response_filter.h"
#include "wave/wave_file.h"

namespace auralyn::simulation {
namespace {


constexpr std::size_t kBlockSamples = 1 << 16;

// The second channel's noise must not repeat the first's.
Device withOtherSeeds(Device device) {
    for (DevicePart& part : device.parts)
        if (auto* noise = std::get_if<NoisePart>(&part)) noise->seed ^= 0x9E3779B97F4A7C15ULL;
    return device;
}

// The two channels' samples as they come out of their chains, written in
// pairs as far as both have them.
class StereoWriter {
public:
    StereoWriter(wave::WaveFile& out, DeviceRunSummary& summary) : out_(out), summary_(summary) {}

    bool add(std::size_t channel, const std::vector<double>& samples, std::string& error) {
        pending_[channel].insert(pending_[channel].end(), samples.begin(), samples.end());
        return flush(error);
    }

    bool flush(std::string& error) {
        const std::size_t count = std::min(pending_[0].size(), pending_[1].size());
        for (std::size_t i = 0; i < count; ++i) {
            if (!out_.writeSample(quantizer_.toSample(pending_[0][i])) ||
                !out_.writeSample(quantizer_.toSample(pending_[1][i]))) {
                error = std::string("writing the output failed (") + (out_.message ? out_.message : "unknown error") +
                        ")";
                return false;
            }
        }
        for (auto& p : pending_) p.erase(p.begin(), p.begin() + static_cast<std::ptrdiff_t>(count));
        summary_.samplesOut += count;
        summary_.clipped = quantizer_.clippedCount();
        return true;
    }

private:
    wave::WaveFile& out_;
    DeviceRunSummary& summary_;
    SampleQuantizer quantizer_;
    std::vector<double> pending_[2];
};

struct Chains {
    ExactResponseFilter wiring;
    DeviceProcessor driverRecorder;
    DeviceProcessor driveRecorder;
    std::vector<double> driveDelay;  // the drive waits as long as the filter's output
};

bool feed(Chains& chains, std::vector<double> driver, std::vector<double> drive, StereoWriter& writer,
          std::string& error) {
    return chains.driverRecorder.process(driver, error) && chains.driveRecorder.process(drive, error) &&
           writer.add(0, driver, error) && writer.add(1, drive, error);
}

bool pushBlock(Chains& chains, const std::vector<double>& block, StereoWriter& writer, std::string& error) {
    std::vector<double> driver;
    chains.wiring.push(block, driver);
    std::vector<double> drive = std::move(chains.driveDelay);
    drive.insert(drive.end(), block.begin(), block.end());
    chains.driveDelay.clear();
    return feed(chains, std::move(driver), std::move(drive), writer, error);
}

bool finishChains(Chains& chains, StereoWriter& writer, std::string& error) {
    // The filter's delay of zeros carries the end of the input through it.
    if (!pushBlock(chains, std::vector<double>(chains.wiring.delay(), 0.0), writer, error)) return false;
    std::vector<double> driver;
    chains.wiring.finish(driver);
    if (!feed(chains, std::move(driver), {}, writer, error)) return false;
    std::vector<double> driverTail, driveTail;
    if (!chains.driverRecorder.finish(driverTail, error) || !chains.driveRecorder.finish(driveTail, error)) return false;
    return writer.add(0, driverTail, error) && writer.add(1, driveTail, error);
}

bool streamInput(wave::WaveFile& in, std::uint64_t sampleCount, Chains& chains, StereoWriter& writer,
                 const std::string& inputPath, std::string& error) {
    std::vector<std::int16_t> samples;
    for (std::uint64_t done = 0; done < sampleCount;) {
        const std::uint64_t count = std::min<std::uint64_t>(kBlockSamples, sampleCount - done);
        samples.resize(count);
        if (!in.readSamples(samples.data(), static_cast<std::int32_t>(count))) {
            error = inputPath + ": reading the samples failed";
            return false;
        }
        if (!pushBlock(chains, std::vector<double>(samples.begin(), samples.end()), writer, error)) return false;
        done += count;
    }
    return finishChains(chains, writer, error);
}

bool openMono(wave::WaveFile& wave, const std::string& path, std::uint64_t& sampleCount, std::string& error) {
    if (!wave.openRead(path.c_str())) {
        error = path + ": not a WAV file that can be read (" + (wave.message ? wave.message : "unknown error") + ")";
        return false;
    }
    if (wave.formatTag != 1 || wave.channels != 1 || wave.bitsPerSample != 16 || wave.sampleRate == 0) {
        error = path + ": only a 16-bit mono PCM WAV file (the sweep) can drive the simulated driver";
        return false;
    }
    sampleCount = wave.dataSize / 2;
    return true;
}

}  // namespace

bool runDriverOnWave(const DriverWiring& wiring, const Device& recorder, const std::string& inputPath,
                     const std::string& outputPath, DeviceRunSummary& summary, std::string& error) {
    wave::WaveFile in;
    std::uint64_t sampleCount = 0;
    if (!openMono(in, inputPath, sampleCount, error)) return false;
    summary.sampleRate = in.sampleRate;
    summary.samplesIn = sampleCount;
    const double rate = in.sampleRate;
    std::optional<DeviceProcessor> driverRecorder = DeviceProcessor::create(recorder, rate, error);
    if (!driverRecorder) return false;
    std::optional<DeviceProcessor> driveRecorder = DeviceProcessor::create(withOtherSeeds(recorder), rate, error);
    if (!driveRecorder) return false;
    Chains chains{ExactResponseFilter([&wiring](double f) { return wiringRatio(wiring, f); }, rate),
                  std::move(*driverRecorder), std::move(*driveRecorder), {}};
    chains.driveDelay.assign(chains.wiring.delay(), 0.0);

    return writeStagedWave(outputPath, in.sampleRate, 2, [&](wave::WaveFile& out) {
        StereoWriter writer(out, summary);
        return streamInput(in, sampleCount, chains, writer, inputPath, error);
    }, error);
}

}  // namespace auralyn::simulation
