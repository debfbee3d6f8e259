#include "long_sweep.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>

#include "generator/parameter_dialogue.h"
#include "generator/sweep_synthesis.h"
#include "wave/wave_file.h"

namespace auralyn::bench {
namespace {

// A locked linear sweep from 20 Hz to 20 kHz in 10 Hz steps at 48 kHz, with
// the dialogue's other defaults.
sweep::SweepPlan linearPlan(double minToneDuration, std::optional<double> settlingTime) {
    generator::SweepAnswers answers;
    answers.octaveSweep = 0;
    answers.frequencyStep = 10.0;
    answers.minToneDuration = minToneDuration;
    if (settlingTime) answers.settlingTime = *settlingTime;
    sweep::SweepPlan plan = generator::planFromAnswers(answers);
    plan.lock();
    return plan;
}

}  // namespace

sweep::SweepPlan longSweepPlan() { return linearPlan(0.1, std::nullopt); }

sweep::SweepPlan denseSweepPlan() { return linearPlan(0.05, 0.01); }

std::uint64_t writeLongSweep(const std::string& folder) { return writeSweep(longSweepPlan(), folder); }

std::uint64_t writeSweep(sweep::SweepPlan plan, const std::string& folder) {
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
