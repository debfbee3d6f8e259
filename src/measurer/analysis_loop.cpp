#include "measurer/analysis_loop.h"

#include <cstdio>
#include <memory>
#include <new>

#include "measurer/sync_search.h"
#include "measurer/tone_analyzer.h"
#include "sweep/sweep_layout.h"

namespace auralyn {
namespace {

// The block buffer: replaced only when a tone longer than any before it comes.
// Left uninitialised, so a block length from a hostile parameter file costs
// memory only as far as the recording actually fills it.
class ToneBuffer {
public:
    // False when no buffer of that length can be had.
    bool reserve(std::int32_t length) {
        if (length <= capacity_) return true;
        samples_.reset();
        capacity_ = 0;
        samples_.reset(new (std::nothrow) std::int16_t[static_cast<std::size_t>(length)]);
        if (!samples_) return false;
        capacity_ = length;
        return true;
    }
    std::int16_t* data() const { return samples_.get(); }

private:
    std::unique_ptr<std::int16_t[]> samples_;
    std::int32_t capacity_ = 0;
};

void printPeak(std::uint16_t peak) {
    const long double percent = static_cast<long double>(peak) * (1.0L / 32767.0L) * 100.0L;
    std::printf("\nPeak recording level: %.0f%%\n", static_cast<double>(percent));
}

// Skips whose refusal near the end of the data is left to the next read to
// notice. A tail of -1 (no drift allowance) steps back one sample, exactly as
// the generator started the next tone one sample early.
void skipQuietly(WaveFile& recording, std::int32_t count) {
    if (count != 0) recording.skipSamples(count);
}

bool readBlock(WaveFile& recording, std::int16_t* buffer, std::int32_t length) {
    return length == 0 || recording.readSamples(buffer, length);
}

}  // namespace

bool analyzeRecording(SweepPlan& plan, WaveFile& recording, std::vector<ToneResult>& results,
                      std::uint32_t toneCount) {
    const SweepParameters& p = plan.params();
    ToneAnalyzer analyzer(nullptr);
    analyzer.setSampleRate(p.sampleRate);
    ToneBuffer buffer;
    std::uint16_t peak = 0;
    plan.rewind();
    std::printf("\nAnalyzing input wave. Percent done:\n");
    std::fflush(stdout);
    for (;;) {
        if (plan.isSyncTone()) {
            skipQuietly(recording, syncSettlingSamples(p));
            if (!findSyncPulse(plan, recording)) {
                std::printf("\nError: The synchronization pulse could not be found.");
                return false;
            }
        }
        skipQuietly(recording, plan.settlingSamples());
        const std::int32_t length = p.toneLength > 0 ? p.toneLength : 0;
        if (!buffer.reserve(length) || !readBlock(recording, buffer.data(), length)) {
            std::printf("\nError: Input wave file ended before expected.");
            return false;
        }
        skipQuietly(recording, plan.driftSamples());
        analyzer.setSamples(buffer.data());
        analyzer.setTone(p.toneFrequency, length);
        // Two tones of one frequency and length would otherwise share the
        // results cached for the first.
        analyzer.samplesChanged();
        if (p.toneIndex >= toneCount) break;
        results.push_back(ToneResult{p.toneFrequency, analyzer.amplitude(), analyzer.phase()});
        peak = trackPeak(peak, buffer.data(), length);
        std::printf("\r%.0f%%  ", plan.percentDone());
        std::fflush(stdout);
        if (!plan.nextTone()) break;
    }
    std::printf("\r100%%  \n");
    printPeak(peak);
    return true;
}

}  // namespace auralyn
