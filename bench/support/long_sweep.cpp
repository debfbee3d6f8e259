#include "long_sweep.h"

#include <cstdio>
#include <memory>
#include <stdexcept>

#include "generator/parameter_dialogue.h"
#include "generator/sweep_synthesis.h"
#include "wave/wave_file.h"

namespace auralyn::bench {
sweep::SweepPlan longSweepPlan() {
    sweep::SweepPlan plan;
    plan.setSampleRate(48000);
    plan.setOctaveSweep(0);
    plan.setStartFrequency(20.0);
    plan.setEndFrequency(20000.0);
    plan.setFrequencyStep(10.0);
    plan.setMinToneDuration(0.1);
    plan.setSettlingTime(0.04);
    plan.setTonesPerSyncPulse(0);
    generator::storeAdvancedDefaults(plan);
    generator::storeFixedValues(plan);
    plan.lock();
    return plan;
}

std::uint64_t writeLongSweep(const std::string& folder) {
    sweep::SweepPlan plan = longSweepPlan();
    const sweep::SweepParameters& p = plan.params();
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> parameters(std::fopen((folder + "/sweep.swp").c_str(), "wb"),
                                                              std::fclose);
    if (!parameters || !plan.writeParameters(parameters.get())) throw std::runtime_error("cannot write sweep.swp");
    wave::WaveFile wave;
    if (!wave.openWrite((folder + "/rec.wav").c_str())) throw std::runtime_error("cannot write rec.wav");
    wave.setFormat(p.sampleRate, 16, 1);
    if (!generator::synthesizeSweep(plan, wave, {})) throw std::runtime_error("cannot write rec.wav");
    const std::uint64_t written = wave.dataSize / 2;
    if (!wave.close()) throw std::runtime_error("cannot finish rec.wav");
    return written;
}

}  // namespace auralyn::bench
