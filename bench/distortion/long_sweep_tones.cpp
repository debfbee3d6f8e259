#include "long_sweep_tones.h"

#include <cstdio>
#include <memory>
#include <stdexcept>

#include "long_sweep.h"
#include "sweep/sweep_layout.h"
#include "wave/wave_file.h"

namespace auralyn::bench {

LoadedSweep loadLongSweep(const std::string& folder) {
    LoadedSweep sweep;
    const sweep::SweepPlan plan = longSweepPlan();
    wave::WaveFile wave;
    if (!wave.openRead((folder + "/rec.wav").c_str())) throw std::runtime_error("cannot read rec.wav");
    sweep.sampleRate = wave.sampleRate;
    std::vector<std::int16_t> codes(wave.dataSize / 2);
    if (!wave.readSamples(codes.data(), static_cast<std::int32_t>(codes.size())))
        throw std::runtime_error("cannot read the samples of rec.wav");
    sweep.samples.assign(codes.begin(), codes.end());
    sweep.leadIn = static_cast<std::size_t>(sweep::generatorLeadInSamples(plan.params()));
    sweep.tones = sweep::generatedToneSpans(plan);
    if (sweep.tones.empty() || sweep.tones.back().start + sweep.tones.back().length > sweep.samples.size())
        throw std::runtime_error("rec.wav does not hold the long sweep");
    return sweep;
}

void writeToneSpans(const std::string& folder, const LoadedSweep& sweep) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen((folder + "/tones.txt").c_str(), "w"), std::fclose);
    if (!out) throw std::runtime_error("cannot write tones.txt");
    std::fprintf(out.get(), "lead_in %zu\n", sweep.leadIn);
    for (const ToneSpan& tone : sweep.tones)
        std::fprintf(out.get(), "%zu %zu %.17g\n", tone.start, tone.length, tone.frequency);
}

}  // namespace auralyn::bench
