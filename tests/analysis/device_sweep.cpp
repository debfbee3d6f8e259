#ifdef AURALYN_HAVE_SIMULATION
#include "device_sweep.h"

#include <stdexcept>
#include <string>

#include "simulation/device_processor.h"
#include "simulation/sample_output.h"

namespace auralyn::test {

SimulatedSweep deviceSweep(const sweep::SweepParameters& p, const simulation::Device& device) {
    SimulatedSweep sweep = plainSweep(p);
    std::string error;
    auto processor = simulation::DeviceProcessor::create(device, p.sampleRate, error);
    if (!processor) throw std::runtime_error(error);
    std::vector<double> block(sweep.samples.begin(), sweep.samples.end());
    if (!processor->process(block, error)) throw std::runtime_error(error);
    std::vector<double> rest;
    if (!processor->finish(rest, error)) throw std::runtime_error(error);
    block.insert(block.end(), rest.begin(), rest.end());
    if (block.size() != sweep.samples.size()) throw std::runtime_error("the device changed the sweep's length");
    simulation::SampleQuantizer quantizer;
    for (std::size_t i = 0; i < block.size(); ++i) sweep.samples[i] = quantizer.toSample(block[i]);
    return sweep;
}

}  // namespace auralyn::test
#endif
