#include "simulation/device_processor.h"

#include <cmath>

#include "simulation/nonlinearity.h"
#include "simulation/overloaded.h"

namespace auralyn::simulation {
namespace {

void delayBlock(std::vector<double>& pending, std::vector<double>& block) {
    const std::size_t delay = pending.size();
    if (delay == 0) return;
    pending.insert(pending.end(), block.begin(), block.end());
    const auto split = pending.end() - static_cast<std::ptrdiff_t>(delay);
    block.assign(pending.begin(), split);
    pending.erase(pending.begin(), split);
}

}  // namespace

std::optional<DeviceProcessor> DeviceProcessor::create(const Device& device, double sampleRate, std::string& error) {
    error = checkDevice(device, sampleRate);
    if (!error.empty()) return std::nullopt;
    DeviceProcessor processor;
    for (const DevicePart& part : device.parts) {
        if (const auto* gain = std::get_if<GainPart>(&part)) {
            processor.stages_.emplace_back(GainStage{std::pow(10.0, gain->db / 20.0)});
        } else if (const auto* filter = std::get_if<FilterSettings>(&part)) {
            processor.stages_.emplace_back(FilterStage{Biquad(designBiquad(*filter, sampleRate))});
        } else if (const auto* delay = std::get_if<DelayPart>(&part)) {
            processor.stages_.emplace_back(DelayStage{std::vector<double>(static_cast<std::size_t>(delay->samples))});
        } else if (const auto* noise = std::get_if<NoisePart>(&part)) {
            processor.stages_.emplace_back(NoiseStage{GaussianNoise(noise->seed), noiseSigmaForLevel(noise->dbfs)});
        } else if (const auto* clock = std::get_if<ClockPart>(&part)) {
            if (clock->ppm == 0.0) continue;  // an exact clock: the resampler's filter would only blur
            std::optional<ClockResampler> resampler = ClockResampler::create(clock->ppm, error);
            if (!resampler) return std::nullopt;
            processor.stages_.emplace_back(ClockStage{std::move(*resampler)});
        } else if (const auto* polynomial = std::get_if<PolynomialPart>(&part)) {
            processor.stages_.emplace_back(PolynomialStage{polynomial->coefficients});
        } else if (const auto* clip = std::get_if<ClipPart>(&part)) {
            processor.stages_.emplace_back(ClipStage{clipLimit(clip->levelDb)});
        } else {
            processor.stages_.emplace_back(InvertStage{});
        }
    }
    return processor;
}

bool DeviceProcessor::runStage(Stage& stage, std::vector<double>& block, bool last, std::string& error) {
    return std::visit(
        Overloaded{
            [&](GainStage& s) {
                for (double& x : block) x *= s.factor;
                return true;
            },
            [&](FilterStage& s) {
                for (double& x : block) x = s.biquad.process(x);
                return true;
            },
            [&](DelayStage& s) {
                if (!last) {
                    delayBlock(s.pending, block);
                    return true;
                }
                block.insert(block.begin(), s.pending.begin(), s.pending.end());
                s.pending.clear();
                return true;
            },
            [&](NoiseStage& s) {
                for (double& x : block) x += s.sigma * s.noise.next();
                return true;
            },
            [&](ClockStage& s) { return last ? s.resampler.finish(block, error) : s.resampler.process(block, error); },
            [&](InvertStage&) {
                for (double& x : block) x = -x;
                return true;
            },
            [&](PolynomialStage& s) {
                for (double& x : block) x = applyPolynomial(s.coefficients, x);
                return true;
            },
            [&](ClipStage& s) {
                for (double& x : block) x = x > s.limit ? s.limit : x < -s.limit ? -s.limit : x;
                return true;
            },
        },
        stage);
}

bool DeviceProcessor::process(std::vector<double>& block, std::string& error) {
    for (Stage& stage : stages_) {
        if (!runStage(stage, block, false, error)) return false;
    }
    return true;
}

bool DeviceProcessor::finish(std::vector<double>& block, std::string& error) {
    block.clear();
    for (Stage& stage : stages_) {
        if (!runStage(stage, block, true, error)) return false;
    }
    return true;
}

}  // namespace auralyn::simulation
