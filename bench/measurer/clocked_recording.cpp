#include "clocked_recording.h"

#include <algorithm>
#include <cmath>
#include <string>

#ifdef AURALYN_HAVE_SIMULATION
#include "simulation/device_processor.h"
#endif

namespace auralyn::bench {

std::vector<std::int16_t> recordedOnClock(const std::vector<std::int16_t>& played, double ppm) {
#ifdef AURALYN_HAVE_SIMULATION
    std::string error;
    auto processor = simulation::DeviceProcessor::create(simulation::Device{{simulation::ClockPart{ppm}}}, 48000, error);
    std::vector<double> signal(played.begin(), played.end()), rest;
    if (!processor || !processor->process(signal, error) || !processor->finish(rest, error)) return {};
    signal.insert(signal.end(), rest.begin(), rest.end());
    std::vector<std::int16_t> out(signal.size());
    for (std::size_t k = 0; k < out.size(); ++k) out[k] = static_cast<std::int16_t>(std::lround(signal[k]));
    return out;
#else
    const double ratio = 1.0 + ppm * 1e-6;
    std::vector<std::int16_t> out(static_cast<std::size_t>(std::llround(static_cast<double>(played.size()) * ratio)));
    for (std::size_t k = 0; k < out.size(); ++k) {
        const double t = static_cast<double>(k) / ratio;
        const auto i = std::min(static_cast<std::size_t>(t), played.size() - 2);
        const double f = t - static_cast<double>(i);
        out[k] = static_cast<std::int16_t>(std::lround(played[i] + (played[i + 1] - played[i]) * f));
    }
    return out;
#endif
}

}  // namespace auralyn::bench
