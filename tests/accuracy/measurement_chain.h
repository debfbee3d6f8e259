#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plot/report_reader.h"
#include "test_files.h"

namespace auralyn::test {

// The answers given to the generator's questions.
struct SweepSettings {
    std::uint32_t sampleRate = 48000;
    bool octave = true;
    double startFrequency = 50.0;
    double endFrequency = 20000.0;
    double step = 3.0;  // tones per octave, or Hz
    double minToneDuration = 0.02;
    double settlingTime = 0.04;
    std::uint32_t tonesPerSyncPulse = 0;
    double maxTimeDrift = 0.0002;
};

// One tone of the report next to the device's exact response.
struct ToneComparison {
    double frequency = 0.0;       // Hz, from the sweep plan (not rounded as in the report)
    std::int32_t blockLength = 0;  // samples the measurer correlated
    std::int32_t leadLength = 0;   // samples between the end of the sync pulse (or previous tone) and the block
    double exactDb = 0.0;
    double exactPhase = 0.0;      // degrees
    double measuredDb = 0.0;      // 20 log10(Amplitude / 32767)
    double measuredPhase = 0.0;   // degrees, as reported
};

struct Measurement {
    std::vector<ToneComparison> tones;
    int crossingOffset = 0;  // where the device moved the sync pulse's threshold crossing, in samples
};

// Runs tonesmith, auralyn simulate with the given device options, and echoprobe in
// `dir`, and pairs every reported tone with the exact response. Failures are
// reported through gtest assertions; check HasFatalFailure() after the call.
Measurement measureDevice(const TempDir& dir, const SweepSettings& sweep, const std::vector<std::string>& device);

// The measured phase relative to the exact phase once the block is taken to
// start `offset` samples late, wrapped to (-180, 180].
double phaseError(const ToneComparison& tone, double offset, std::uint32_t sampleRate);

// The whole-sample offset that brings the measured phases closest to the exact
// ones (smallest worst error over the tones above `floorDb`).
int fitOffset(const std::vector<ToneComparison>& tones, std::uint32_t sampleRate, double floorDb);

}  // namespace auralyn::test
