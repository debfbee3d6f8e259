#pragma once

#include <cstdint>

#include "clock/tone_frequency.h"

namespace auralyn::measurer {

// Measures amplitude and phase of one steady sine of known frequency in a block
// of 16-bit samples: a correlation with a sine and a cosine at that frequency,
// divided by the same correlation of an ideal unit sine at the measured phase,
// which cancels the bias of a block that does not hold whole cycles.
// Results are computed on first request and kept until the rate, the tone or
// the sample pointer changes. The samples are borrowed, never copied.
class ToneAnalyzer {
public:
    explicit ToneAnalyzer(const std::int16_t* samples = nullptr) : samples_(samples) {}

    void setSampleRate(std::uint32_t rate);
    void setTone(double frequency, std::int32_t count);
    void setSamples(const std::int16_t* samples);
    // New samples were written into the same buffer: forget the cached results.
    void samplesChanged();

    double amplitude();  // sample units
    // The correlation amplitude before the division by the reference.
    double measuredAmplitude();
    double phase();      // radians, -pi..pi, of the sine at the block's first sample
    // The block's sums over each half at the tone's frequency, gathered in the
    // same pass, for the clock's frequency estimate.
    const clock::HalvesSums& halvesSums();

private:
    void invalidate();
    void measure();
    void computeReference();
    void computeResult();

    double frequency_ = 0.0;
    std::int32_t count_ = 0;
    const std::int16_t* samples_ = nullptr;
    std::uint32_t sampleRate_ = 1;

    double referenceAmplitude_ = 0.0;
    bool referenceValid_ = false;

    double measuredAmplitude_ = 0.0;
    double measuredPhase_ = 0.0;
    // Sums over the block of sin^2, sin*cos and cos^2 of the angles, gathered in
    // the measurement pass so that the reference needs no second pass.
    double sineSquares_ = 0.0;
    double sineCosines_ = 0.0;
    double cosineSquares_ = 0.0;
    clock::HalvesSums halves_;
    bool measurementValid_ = false;

    double amplitudeRatio_ = 0.0;
    double phaseResult_ = 0.0;
    bool resultValid_ = false;
};

}  // namespace auralyn::measurer
