#include "clock_test_recordings.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "sweep_test_plans.h"

#ifdef AURALYN_HAVE_SIMULATION
#include "simulation/device_processor.h"
#endif

namespace auralyn::test {

sweep::SweepPlan defaultSweep(std::uint32_t tonesPerSyncPulse, double tonesPerOctave) {
    sweep::SweepParameters p = dialogueDefaults();
    p.frequencyStep = tonesPerOctave;
    p.tonesPerSyncPulse = tonesPerSyncPulse;
    sweep::SweepPlan plan(p);
    plan.rewind();
    plan.lock();
    return plan;
}

std::vector<std::int16_t> padded(const std::vector<std::int16_t>& samples, std::size_t before, std::size_t after) {
    std::vector<std::int16_t> out(before, 0);
    out.insert(out.end(), samples.begin(), samples.end());
    out.insert(out.end(), after, 0);
    return out;
}

#ifdef AURALYN_HAVE_SIMULATION
std::vector<std::int16_t> throughDevice(const std::vector<std::int16_t>& played, const simulation::Device& device,
                                        double sampleRate) {
    std::string error;
    auto processor = simulation::DeviceProcessor::create(device, sampleRate, error);
    if (!processor) throw std::runtime_error(error);
    std::vector<double> signal(played.begin(), played.end());
    std::vector<double> rest;
    if (!processor->process(signal, error) || !processor->finish(rest, error)) throw std::runtime_error(error);
    signal.insert(signal.end(), rest.begin(), rest.end());
    std::vector<std::int16_t> recorded(signal.size());
    for (std::size_t i = 0; i < signal.size(); ++i)
        recorded[i] = static_cast<std::int16_t>(std::clamp(std::lround(signal[i]), -32767L, 32767L));
    return recorded;
}
#endif

}  // namespace auralyn::test
