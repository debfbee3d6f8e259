#include "analysis/sweep_locator.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "analysis/locator_line.h"
#include "analysis/sweep_stretches.h"

namespace auralyn::analysis {
namespace {

// How far a sync pulse's trigger may lie from the sweep's start as its tones
// place it (a device's delay and smearing of the pulse), samples.
constexpr double kHintSigma = 200.0;
constexpr double kWindowSigmas = 5.0;
constexpr std::int64_t kChunk = 512;
// Passes that correlate the stretches again, rendered at the ratio found.
constexpr int kRefinements = 1;

struct Peak {
    bool valid = false;
    double lag = 0.0;  // refined to a fraction of a sample
    double z = 0.0;    // envelope peak over the correlation's RMS away from it
};

// Running summary of a correlation's envelope, chunk by chunk: enough to find
// its peak and the RMS away from the peak without keeping every lag.
struct ChunkSummary {
    std::int64_t peakLag = 0;
    double peak = -1.0;
    double before = -1.0, after = -1.0;  // the envelope one lag either side of the peak; -1: not seen
    double sumSquares = 0.0;
    std::int64_t count = 0;
};

struct EnvelopeScan {
    std::int64_t from = 0;
    std::vector<ChunkSummary> chunks;

    ChunkSummary& chunkOf(std::int64_t lag) { return chunks[static_cast<std::size_t>((lag - from) / kChunk)]; }
};

EnvelopeScan summarise(EnvelopeCorrelator& correlator, const RecordingView& recording, std::int64_t from,
                       std::int64_t to) {
    EnvelopeScan scan;
    scan.from = from;
    scan.chunks.resize(static_cast<std::size_t>((to - from + kChunk - 1) / kChunk));
    correlator.run(recording, from, to, [&](std::int64_t first, std::span<const std::complex<float>> values) {
        for (std::size_t m = 0; m < values.size(); ++m) {
            const std::int64_t lag = first + static_cast<std::int64_t>(m);
            const double power = std::norm(std::complex<double>(values[m]));
            ChunkSummary& chunk = scan.chunkOf(lag);
            chunk.sumSquares += power;
            ++chunk.count;
            if (power > chunk.peak * chunk.peak) {
                chunk.peak = std::sqrt(power);
                chunk.peakLag = lag;
                chunk.before = m > 0 ? std::abs(std::complex<double>(values[m - 1])) : -1.0;
                chunk.after = m + 1 < values.size() ? std::abs(std::complex<double>(values[m + 1])) : -1.0;
            }
        }
    });
    return scan;
}

// The peak's lag from the parabola through the envelope at it and either
// side (computed again where the peak fell on a block's edge).
double refinedLag(EnvelopeCorrelator& correlator, const RecordingView& recording, const ChunkSummary& peak) {
    const std::int64_t lag = peak.peakLag;
    double m[3] = {peak.before, peak.peak, peak.after};
    if (m[0] < 0.0 || m[2] < 0.0) {
        correlator.run(recording, lag - 1, lag + 2, [&](std::int64_t first, std::span<const std::complex<float>> values) {
            for (std::size_t i = 0; i < values.size(); ++i)
                m[first + static_cast<std::int64_t>(i) - (lag - 1)] = std::abs(std::complex<double>(values[i]));
        });
    }
    const double curvature = m[0] - 2.0 * m[1] + m[2];
    if (!(curvature < 0.0)) return static_cast<double>(lag);
    return static_cast<double>(lag) + std::clamp(0.5 * (m[0] - m[2]) / curvature, -0.5, 0.5);
}

// The strongest envelope peak at lags [peakFrom, peakTo) against the RMS of
// the envelope over [from, to) beyond `guard` lags of the peak.
Peak findPeak(EnvelopeCorrelator& correlator, const RecordingView& recording, std::int64_t from, std::int64_t to,
              std::int64_t peakFrom, std::int64_t peakTo, std::int64_t guard) {
    EnvelopeScan scan = summarise(correlator, recording, from, to);
    const ChunkSummary* best = nullptr;
    for (const ChunkSummary& chunk : scan.chunks)
        if (chunk.count > 0 && chunk.peakLag >= peakFrom && chunk.peakLag < peakTo && (best == nullptr || chunk.peak > best->peak))
            best = &chunk;
    if (best == nullptr || !(best->peak > 0.0)) return {};
    double sumSquares = 0.0;
    std::int64_t count = 0;
    for (std::size_t c = 0; c < scan.chunks.size(); ++c) {
        const std::int64_t chunkFrom = scan.from + static_cast<std::int64_t>(c) * kChunk;
        if (chunkFrom + kChunk > best->peakLag - guard && chunkFrom < best->peakLag + guard) continue;
        sumSquares += scan.chunks[c].sumSquares;
        count += scan.chunks[c].count;
    }
    // Too little correlation away from the peak to judge it by.
    if (count < 4 * kChunk || !(sumSquares > 0.0)) return {};
    Peak peak;
    peak.valid = true;
    peak.z = best->peak / std::sqrt(sumSquares / static_cast<double>(count));
    peak.lag = refinedLag(correlator, recording, *best);
    return peak;
}

// A stretch's position is uncertain by its envelope's width over its margin,
// and biased by a clock the stretch was not rendered at: the two tones
// either side of its change of tone drift apart in phase over its length,
// which moves the envelope's peak by up to about five lengths x the ratio's
// error (for tones a sixth of an octave apart). A device's delay differs from
// band to band by up to about a quarter period of the band's tones (a
// high-pass turns its phase by 90 degrees at its corner), which no line follows.
double lagSigma(const SweepStretch& stretch, double z, double ppmError, double sampleRate) {
    return stretch.envelopeWidth / z + 0.5 + 5.0 * static_cast<double>(stretch.samples.size()) * ppmError * 1e-6 +
           0.25 * sampleRate / stretch.frequency;
}

struct Search {
    const SweepTemplate& sweep;
    const std::vector<SweepStretch>& stretches;
    std::vector<std::unique_ptr<EnvelopeCorrelator>>& correlators;
    const RecordingView& recording;
    FftWorkspaces& workspaces;

    EnvelopeCorrelator& correlator(std::size_t k) {
        if (!correlators[k]) correlators[k] = std::make_unique<EnvelopeCorrelator>(stretches[k].samples, workspaces);
        return *correlators[k];
    }

    // The stretch's peak within kWindowSigmas of where the line puts it, judged
    // against the correlation over two stretch lengths either side.
    Peak nearLine(std::size_t k, const LineFit& line) {
        const SweepStretch& s = stretches[k];
        const double centre = line.predict(s.origin);
        const auto reach = static_cast<std::int64_t>(std::ceil(kWindowSigmas * line.predictionSigma(s.origin))) + 2;
        const auto length = static_cast<std::int64_t>(s.samples.size());
        const auto middle = static_cast<std::int64_t>(std::llround(centre));
        return findPeak(correlator(k), recording, middle - reach - 2 * length, middle + reach + 2 * length,
                        middle - reach, middle + reach + 1, length);
    }

    // The stretch rendered at the line's ratio, its peak searched near the line.
    Peak atRatio(std::size_t k, const LineFit& line, double sigma) {
        const SweepStretch& s = stretches[k];
        std::vector<double> pattern(s.samples.size());
        renderTemplate(sweep, s.origin, 1.0 + line.slope, pattern);
        EnvelopeCorrelator rendered(pattern, workspaces);
        const auto reach = static_cast<std::int64_t>(std::ceil(kWindowSigmas * sigma)) + 2;
        const auto length = static_cast<std::int64_t>(pattern.size());
        const auto middle = static_cast<std::int64_t>(std::llround(line.predict(s.origin)));
        return findPeak(rendered, recording, middle - reach - 2 * length, middle + reach + 2 * length,
                        middle - reach, middle + reach + 1, length);
    }

    Peak anywhere(std::size_t k) {
        const auto length = static_cast<std::int64_t>(stretches[k].samples.size());
        return findPeak(correlator(k), recording, -length, recording.size, -length, recording.size, length);
    }

    // The stretch's peak only where it lies when the whole sweep is in the
    // recording (its start at or after the recording's and its end before the
    // recording's, at any clock within the prior): for a recording little
    // longer than the sweep a window of the slack, not of the whole recording.
    // Empty where the recording is shorter than the sweep.
    std::optional<Peak> whereTheSweepFits(std::size_t k) {
        const double prior = kPriorPpm * 1e-6;
        const double origin = stretches[k].origin;
        const auto first = static_cast<std::int64_t>(std::floor(origin * (1.0 - prior))) - 2;
        const auto last = static_cast<std::int64_t>(
                              std::ceil(static_cast<double>(recording.size) -
                                        static_cast<double>(sweep.length) * (1.0 - prior) + origin * (1.0 + prior))) +
                          2;
        if (last <= first || last - first >= recording.size) return std::nullopt;
        const auto length = static_cast<std::int64_t>(stretches[k].samples.size());
        return findPeak(correlator(k), recording, first - 2 * length, last + 2 * length, first, last + 1, length);
    }
};

// Order in which to visit the stretches: nearest to `played` first.
std::vector<std::size_t> byDistance(const std::vector<SweepStretch>& stretches, double played) {
    std::vector<std::size_t> order(stretches.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return std::fabs(stretches[a].origin - played) < std::fabs(stretches[b].origin - played);
    });
    return order;
}

// Follows the line from a first point (a found stretch or a hint) through
// every other stretch, nearest first, narrowing the windows as it goes.
LineResult followLine(Search& search, LineFit seed, double seedPlayed, std::size_t skip, bool seedIsStretch) {
    LineResult result;
    LineFit line = seed;
    LineFit found;  // the stretches alone
    if (seedIsStretch) {
        found.add(seed.points.front());
        result.agreeing = 1;
    }
    for (const std::size_t k : byDistance(search.stretches, seedPlayed)) {
        if (seedIsStretch && k == skip) continue;
        const Peak peak = search.nearLine(k, line);
        if (!peak.valid || peak.z < kDetectionMargin) continue;
        const LineFit::Point point{search.stretches[k].origin, peak.lag,
                                   lagSigma(search.stretches[k], peak.z, kCoherentPpm, search.sweep.sampleRate), k};
        line.add(point);
        found.add(point);
        ++result.agreeing;
        result.margin = std::max(result.margin, peak.z);
    }
    result.line = found;
    return result;
}

// Correlates the stretches found again, rendered at the ratio the line gives,
// so that the clock no longer biases them, and fits the line anew.
void refine(Search& search, LineResult& r) {
    for (int pass = 0; pass < kRefinements && r.agreeing >= kMinAgreeingStretches; ++pass) {
        // Nothing to gain where the clock moves no stretch's peak by a sample.
        const double tilt = 5.0 * static_cast<double>(kMaxStretchSamples) * std::fabs(r.line.slope);
        if (tilt < 1.0) return;
        const double ppmError = std::max(1.0, std::sqrt(r.line.covDD) * 1e6);
        LineResult next;
        for (const LineFit::Point& p : r.line.points) {
            const Peak peak = search.atRatio(p.stretch, r.line, p.sigma);
            if (!peak.valid || peak.z < kDetectionMargin) continue;
            next.line.points.push_back(
                {p.played, peak.lag, lagSigma(search.stretches[p.stretch], peak.z, ppmError, search.sweep.sampleRate), p.stretch});
            ++next.agreeing;
            next.margin = std::max(next.margin, peak.z);
        }
        if (next.agreeing < kMinAgreeingStretches) {
            r = next;
            return;
        }
        next.line.fit();
        r = next;
        dropOutliers(r, kMinAgreeingStretches);
    }
}

// `refined`: the stretches found are correlated again at the line's ratio
// (not for peaks that stand out only against the whole recording, which a
// window near the line would not show).
SweepLocation located(Search& search, LineResult r, bool fromHint, bool refined = true) {
    const std::size_t stretches = search.stretches.size();
    dropOutliers(r, kMinAgreeingStretches);
    if (refined) refine(search, r);
    SweepLocation location;
    location.stretches = static_cast<std::uint32_t>(stretches);
    location.agreeing = r.agreeing;
    location.margin = r.margin;
    // A device's delay that changes across the band tilts the line too, so
    // only a slope beyond the prior by three of its uncertainties refuses.
    const double slopeSigma = std::sqrt(r.line.covDD);
    if (r.agreeing < kMinAgreeingStretches || !(std::fabs(r.line.slope) - 3.0 * slopeSigma <= kPriorPpm * 1e-6))
        return location;
    location.found = true;
    location.fromHint = fromHint;
    location.start = r.line.start;
    location.startSigma = std::sqrt(r.line.covSS);
    location.ppm = r.line.slope * 1e6;
    location.ppmSigma = std::sqrt(r.line.covDD) * 1e6;
    return location;
}

// Stretches in the order a blind search tries them: the middle of the band
// first (where most devices pass), then outwards.
std::vector<std::size_t> middleOut(std::size_t count) {
    std::vector<std::size_t> order;
    const auto middle = static_cast<std::int64_t>(count / 2);
    for (std::int64_t step = 0; order.size() < count; ++step) {
        for (const std::int64_t k : {middle - step, middle + step + 1})
            if (k >= 0 && k < static_cast<std::int64_t>(count)) order.push_back(static_cast<std::size_t>(k));
    }
    return order;
}

// The last resort, for a recording that holds only part of the sweep (a
// recording stopped early, mostly the low octaves' long tones): the octave
// stretches' own peaks across the whole recording (`strong`, found already)
// and those of more stretches that fill the sweep's time, joined.
SweepLocation locateByStrongPeaks(const SweepTemplate& sweep, const RecordingView& recording, FftWorkspaces& workspaces,
                                  const std::vector<SweepStretch>& octaves, std::vector<LineFit::Point> strong,
                                  std::vector<double> margins) {
    std::vector<SweepStretch> stretches = octaves;
    for (SweepStretch& filler : chooseStretches(sweep, true)) stretches.push_back(std::move(filler));
    std::vector<std::unique_ptr<EnvelopeCorrelator>> correlators(stretches.size());
    Search search{sweep, stretches, correlators, recording, workspaces};
    margins.resize(stretches.size(), 0.0);
    for (std::size_t k = octaves.size(); k < stretches.size(); ++k) {
        const Peak peak = search.anywhere(k);
        if (!peak.valid || peak.z < kDetectionMargin) continue;
        const double sigma = lagSigma(stretches[k], peak.z, kCoherentPpm, sweep.sampleRate);
        strong.push_back({stretches[k].origin, peak.lag, sigma, k});
        margins[k] = peak.z;
    }
    LineResult joined = joinStrongPeaks(strong);
    for (const LineFit::Point& p : joined.line.points) joined.margin = std::max(joined.margin, margins[p.stretch]);
    return located(search, joined, false, false);
}

}  // namespace

SweepLocation locateSweep(const SweepTemplate& sweep, const RecordingView& recording, std::optional<double> hint) {
    const std::vector<SweepStretch> stretches = chooseStretches(sweep);
    std::vector<std::unique_ptr<EnvelopeCorrelator>> correlators(stretches.size());
    FftWorkspaces workspaces;
    Search search{sweep, stretches, correlators, recording, workspaces};
    if (recording.size <= 0 || stretches.size() < kMinAgreeingStretches) return located(search, {}, false);
    if (hint) {
        LineFit seed;
        seed.add({0.0, *hint, kHintSigma, kNoStretch});
        const SweepLocation near = located(search, followLine(search, seed, 0.0, 0, false), true);
        if (near.found) return near;
    }
    // Most recordings hold the whole sweep: the stretches are looked for
    // where it fits first, and across the whole recording only if that fails.
    for (const std::size_t k : middleOut(stretches.size())) {
        const std::optional<Peak> peak = search.whereTheSweepFits(k);
        if (!peak) break;
        if (!peak->valid || peak->z < kDetectionMargin) continue;
        LineFit seed;
        seed.add({stretches[k].origin, peak->lag, lagSigma(stretches[k], peak->z, kCoherentPpm, sweep.sampleRate), k});
        LineResult r = followLine(search, seed, stretches[k].origin, k, true);
        r.margin = std::max(r.margin, peak->z);
        const SweepLocation anchored = located(search, r, false);
        if (anchored.found) return anchored;
    }
    LineResult best;
    std::vector<LineFit::Point> strong;  // each stretch's own peak that stands out, for the last resort
    std::vector<double> margins(stretches.size(), 0.0);
    for (const std::size_t k : middleOut(stretches.size())) {
        const Peak peak = search.anywhere(k);
        if (!peak.valid || peak.z < kDetectionMargin) continue;
        LineFit seed;
        seed.add({stretches[k].origin, peak.lag, lagSigma(stretches[k], peak.z, kCoherentPpm, sweep.sampleRate), k});
        strong.push_back(seed.points.front());
        margins[k] = peak.z;
        LineResult r = followLine(search, seed, stretches[k].origin, k, true);
        r.margin = std::max(r.margin, peak.z);
        const SweepLocation anchored = located(search, r, false);
        if (anchored.found) return anchored;
        if (r.margin > best.margin) best = r;
    }
    const SweepLocation inPart =
        locateByStrongPeaks(sweep, recording, workspaces, stretches, std::move(strong), std::move(margins));
    return inPart.found ? inPart : located(search, best, false);
}

}  // namespace auralyn::analysis
