#pragma once

#include <cstdint>
#include <cstdio>

namespace auralyn::sweep {

// Every parameter of one sweep plus the position of a walk through its tones.
// This is the record saved in a sweep parameter file; the file is encoded field
// by field (see parameter_file.h), never by copying this struct.
struct SweepParameters {
    bool locked = false;
    double startFrequency = 1.0;      // Hz, tone 0
    double endFrequency = 1.0;        // Hz, no tone lies above it
    double frequencyStep = 1.0;       // Hz (linear) or tones per octave (octave)
    double minToneDuration = 0.0;     // s, shortest measured block
    double syncPulseDuration = 0.0;   // s
    double settlingTime = 0.0;        // s
    double maxTimeDrift = 0.0;        // s
    double leadInTime = 0.0;          // s
    std::uint32_t sampleRate = 1;     // Hz
    std::uint32_t maxExtraSamples = 0;
    double maxFractionalCycle = 1.0;  // cycles
    double toneFrequency = 1.0;       // run-time: current tone, Hz
    std::uint32_t tonesPerSyncPulse = 0;
    std::uint32_t toneIndex = 0;      // run-time: current tone
    std::int32_t toneLength = 0;      // run-time: measured block of the current tone, samples
    std::int32_t octaveSweep = 0;
    double syncPulseLevel = 0.0;      // percent of full scale
    double syncThreshold = 0.0;       // percent of full scale
    std::uint32_t minCyclesPerTone = 0;
};

// Rounds half away from zero; the result stays a double.
double roundHalfAway(double x);

// A level in percent of full scale as a sample value within -32767..32767.
int percentToAmplitude(double percent);

// The tone-length search for one frequency: the length it picks and the
// candidates it tried, which is what the search costs. A search that would try
// more than maxSteps candidates gives up and reports maxSteps + 1 steps (its
// length is then meaningless).
struct ToneLengthSearch {
    double length = 0;
    std::uint64_t steps = 0;
};
ToneLengthSearch searchToneLength(const SweepParameters& p, double hz,
                                  std::uint64_t maxSteps = UINT64_MAX);

class SweepPlan {
public:
    SweepPlan() = default;
    // A plan holding exactly this record, unchecked and not rewound: for tools,
    // tests and the record check. Loaded records go through readParameters.
    explicit SweepPlan(const SweepParameters& record) : record_(record) {}

    const SweepParameters& params() const { return record_; }

    // Setters: each does nothing while the plan is locked and drops values that fail its test.
    void setSampleRate(std::uint32_t rate);
    void setOctaveSweep(std::int32_t octave);
    void setStartFrequency(double hz);
    void setEndFrequency(double hz);
    void setFrequencyStep(double step);
    void setMinToneDuration(double seconds);
    void setSyncPulseDuration(double seconds);
    void setSettlingTime(double seconds);
    void setMaxTimeDrift(double seconds);
    void setLeadInTime(double seconds);
    void setMaxFractionalCycle(double cycles);
    void setTonesPerSyncPulse(std::uint32_t tones);
    void setMinCyclesPerTone(std::uint32_t cycles);
    void setMaxExtraSamples(std::uint32_t samples);
    void setSyncPulseLevel(double percent);
    void setSyncThreshold(double percent);

    void lock() { record_.locked = true; }

    // The 11-byte magic and the 136-byte record. False when a write falls short.
    bool writeParameters(std::FILE* out) const;
    // False (and the plan unchanged) for a locked plan, a short or foreign file,
    // or a record that would give a degenerate or unbounded schedule (see
    // parameter_check.h). On success the walk is rewound to tone 0.
    bool readParameters(std::FILE* in);

    // The tone schedule.
    std::uint32_t toneCount() const;
    double frequencyOfTone(std::int32_t index) const;
    void rewind();
    bool nextTone();
    bool isSyncTone() const;
    double percentDone() const;
    std::int32_t settlingSamples() const;
    std::int32_t driftSamples() const;
    double phaseAtSample(std::int32_t n) const;
    void setToneFrequency(double hz);
    double toneLengthFor(double hz) const;
    static double fractionalCycle(double cycles);

private:
    SweepParameters record_;
};

}  // namespace auralyn::sweep
