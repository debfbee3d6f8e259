#include "measurer/block_measurement.h"

#include "clock/sine_fit.h"

namespace auralyn::measurer {
namespace {

ToneResult fitShortenedBlock(const ToneBlock& block, std::uint32_t rate) {
    constexpr double kPi = 3.141592653589793;
    const clock::SineFit fit = clock::fitSine(block.samples, block.length, 0.0, 2.0 * kPi * block.frequency / rate);
    if (!fit.solved) return ToneResult{block.frequency, 0.0, 0.0};
    return ToneResult{block.frequency, fit.amplitude(), fit.phase()};
}

}  // namespace

bool measuredByCorrelation(const ToneBlock& block, std::uint32_t rate) { return !(block.shortened && rate != 0); }

ToneResult measureBlock(ToneAnalyzer& analyzer, const ToneBlock& block, std::uint32_t rate) {
    if (!measuredByCorrelation(block, rate)) return fitShortenedBlock(block, rate);
    analyzer.setSamples(block.samples);
    analyzer.setTone(block.frequency, block.length);
    // Two tones of one frequency and length would otherwise share the results
    // cached for the first.
    analyzer.samplesChanged();
    return ToneResult{block.frequency, analyzer.amplitude(), phaseAtBlockStart(analyzer.phase(), block, rate)};
}

}  // namespace auralyn::measurer
