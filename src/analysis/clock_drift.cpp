#include "analysis/clock_drift.h"

#include <algorithm>
#include <cmath>

namespace auralyn::analysis {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kOutlierErrors = 5.0;
constexpr std::size_t kMinReadings = 10;

struct Line {
    double meanTime = 0.0, atMean = 0.0, slope = 0.0;
    double atMeanSd = 0.0, slopeSd = 0.0;
    double birge = 1.0;
    std::size_t used = 0;
    bool valid = false;
};

// Weighted least squares in the centred form y = c + b (t - tm), whose two
// estimates are uncorrelated.
Line fitLine(const std::vector<RatioReading>& readings, const std::vector<bool>& use) {
    double sw = 0.0, st = 0.0, sy = 0.0;
    std::size_t n = 0;
    for (std::size_t i = 0; i < readings.size(); ++i) {
        if (!use[i]) continue;
        const double w = 1.0 / (readings[i].standardError * readings[i].standardError);
        sw += w;
        st += w * readings[i].seconds;
        sy += w * readings[i].ppm;
        ++n;
    }
    Line line;
    if (n < kMinReadings || !(sw > 0.0)) return line;
    line.meanTime = st / sw;
    line.atMean = sy / sw;
    double stt = 0.0, sty = 0.0;
    for (std::size_t i = 0; i < readings.size(); ++i) {
        if (!use[i]) continue;
        const double w = 1.0 / (readings[i].standardError * readings[i].standardError);
        const double dt = readings[i].seconds - line.meanTime;
        stt += w * dt * dt;
        sty += w * dt * (readings[i].ppm - line.atMean);
    }
    if (!(stt > 0.0)) return line;
    line.slope = sty / stt;
    double chi2 = 0.0;
    for (std::size_t i = 0; i < readings.size(); ++i) {
        if (!use[i]) continue;
        const double r = (readings[i].ppm - line.atMean - line.slope * (readings[i].seconds - line.meanTime)) /
                         readings[i].standardError;
        chi2 += r * r;
    }
    line.birge = std::max(1.0, std::sqrt(chi2 / static_cast<double>(n - 2)));
    line.atMeanSd = line.birge / std::sqrt(sw);
    line.slopeSd = line.birge / std::sqrt(stt);
    line.used = n;
    line.valid = true;
    return line;
}

std::vector<bool> withinLine(const std::vector<RatioReading>& readings, const Line& line) {
    std::vector<bool> use(readings.size());
    for (std::size_t i = 0; i < readings.size(); ++i) {
        const double r = readings[i].ppm - line.atMean - line.slope * (readings[i].seconds - line.meanTime);
        use[i] = std::fabs(r) <= kOutlierErrors * line.birge * readings[i].standardError;
    }
    return use;
}

}  // namespace

ClockModel fitClockModel(const std::vector<RatioReading>& all) {
    std::vector<RatioReading> readings;
    for (const RatioReading& r : all) {
        if (std::isfinite(r.ppm) && std::isfinite(r.seconds) && r.standardError > 0.0 && std::isfinite(r.standardError))
            readings.push_back(r);
    }
    ClockModel model;
    Line line = fitLine(readings, std::vector<bool>(readings.size(), true));
    if (!line.valid) return model;
    for (int pass = 0; pass < 2 && line.valid; ++pass) {
        const Line again = fitLine(readings, withinLine(readings, line));
        if (!again.valid) break;
        line = again;
    }
    double last = 0.0;
    for (const RatioReading& r : readings) last = std::max(last, r.seconds);
    model.slopePpmPerSecond = line.slope;
    model.slopeU95 = 1.96 * line.slopeSd;
    model.ppmAtStart = line.atMean - line.slope * line.meanTime;
    model.meanSeconds = line.meanTime;
    model.ppmAtMeanU95 = 1.96 * line.atMeanSd;
    model.spanSeconds = last;
    model.tones = static_cast<std::uint32_t>(line.used);
    model.drifting = std::fabs(line.slope) > kDriftSigmas * line.slopeSd;
    return model;
}

std::vector<ToneTiming> driftingTimeline(const std::vector<NominalTone>& tones, const ClockModel& model, double rate) {
    std::vector<ToneTiming> timeline;
    timeline.reserve(tones.size());
    const double a = model.ppmAtStart * 1e-6;
    const double b = model.slopePpmPerSecond * 1e-6 / rate;  // per sample
    for (const NominalTone& tone : tones) {
        const double o = static_cast<double>(tone.blockOffset);
        const double centre = o + 0.5 * static_cast<double>(tone.length);
        const double local = a + b * centre;
        const double position = o + a * o + 0.5 * b * o * o;
        ToneTiming timing;
        timing.ppm = local * 1e6;
        timing.shift = position - o * (1.0 + local);
        timeline.push_back(timing);
    }
    return timeline;
}

double driftPhaseSd(const ClockModel& model, double offset, double frequency, double rate) {
    const double t = offset / rate;
    const double ua = model.ppmAtMeanU95 / 1.96;
    const double ub = model.slopeU95 / 1.96;
    const double quadratic = 0.5 * t * t - model.meanSeconds * t;
    const double seconds = 1e-6 * std::sqrt(ua * ua * t * t + ub * ub * quadratic * quadratic);
    return 2.0 * kPi * frequency * seconds;
}

}  // namespace auralyn::analysis
