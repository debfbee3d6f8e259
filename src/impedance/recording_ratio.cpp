#include "impedance/recording_ratio.h"

#include <complex>

#include "analysis/tone_quality.h"

namespace auralyn::impedance {

RatioTone ratioTone(const analysis::ToneMeasurement& tone) {
    RatioTone r;
    r.frequency = tone.frequency;
    if (!tone.quality || !tone.quality->fitted || !(tone.quality->amplitude > 0.0)) {
        r.measured = false;
        return r;
    }
    const analysis::ToneQuality& q = *tone.quality;
    r.ratio = std::polar(q.amplitude / analysis::kFullScale, q.phase);
    r.magnitudeU95Db = q.magnitudeU95Db;
    r.phaseU95Deg = q.phaseU95Deg;
    return r;
}

RecordingRatio ratioOfRecording(const sweep::SweepPlan& plan, const ChannelPair& channels) {
    RecordingRatio result;
    result.ratio = analysis::analyzeRecording(plan, {channels.driver, &channels.drive, channels.step});
    const analysis::RecordingAnalysis drive = analysis::analyzeRecording(plan, {channels.drive, nullptr, channels.step});
    for (const analysis::ToneMeasurement& tone : result.ratio.sweep.tones) {
        RatioTone r = ratioTone(tone);
        for (const analysis::ToneMeasurement& d : drive.sweep.tones)
            if (d.index == tone.index && d.quality && d.quality->levelDbfs) r.driveDbfs = *d.quality->levelDbfs;
        result.tones.push_back(r);
    }
    return result;
}

}  // namespace auralyn::impedance
