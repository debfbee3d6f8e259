#pragma once

#include <optional>
#include <span>

namespace auralyn::calibration {

// The two strongest tones of a stretch of samples, as the spectrum shows them.
struct SpectrumPeaks {
    std::optional<double> mainHz;    // the highest peak, refined between bins
    std::optional<double> secondHz;  // the highest peak outside the first one's lobe
    double mainOverSecondDb = 0.0;
};

// A Hann-windowed spectrum of (at most) 65536 samples from the middle of the
// recording; peaks below lowestHz (handling noise, wind, offset) are left out.
SpectrumPeaks strongestPeaks(std::span<const double> samples, double sampleRate, double lowestHz);

}  // namespace auralyn::calibration
