#include "analysis/tone_fit.h"

#include "clock/sine_fit.h"

namespace auralyn::analysis {

ToneFit fitToneAt(const std::vector<std::int16_t>& recording, const BlockPlacement& block, double sampleRate) {
    constexpr double kTwoPi = 6.283185307179586;
    const double omega = kTwoPi * block.frequency / sampleRate;
    const clock::SineFit fit = clock::fitSine(recording.data() + block.first, block.count, block.firstTime, omega);
    if (!fit.solved) return {};
    return {fit.amplitude(), fit.phase()};
}

}  // namespace auralyn::analysis
