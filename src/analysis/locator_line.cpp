#include "analysis/locator_line.h"

#include <algorithm>
#include <cmath>

namespace auralyn::analysis {

// Weighted least squares in start and d, the clock prior one more observation of d.
void LineFit::fit() {
    const double prior = kPriorPpm * 1e-6;
    double a = 0.0, b = 0.0, c = 1.0 / (prior * prior), u = 0.0, v = 0.0;
    for (const Point& p : points) {
        const double w = 1.0 / (p.sigma * p.sigma);
        const double y = p.recorded - p.played;
        a += w;
        b += w * p.played;
        c += w * p.played * p.played;
        u += w * y;
        v += w * p.played * y;
    }
    const double det = a * c - b * b;
    start = (c * u - b * v) / det;
    slope = (a * v - b * u) / det;
    covSS = c / det;
    covSD = -b / det;
    covDD = a / det;
}

double LineFit::predictionSigma(double played) const {
    return std::sqrt(std::max(0.0, covSS + 2.0 * played * covSD + played * played * covDD));
}

void dropOutliers(LineResult& r, std::uint32_t keep) {
    while (r.line.points.size() > keep) {
        std::size_t worst = 0;
        double worstRatio = 0.0;
        for (std::size_t i = 0; i < r.line.points.size(); ++i) {
            const LineFit::Point& p = r.line.points[i];
            const double ratio = std::fabs(p.recorded - r.line.predict(p.played)) / p.sigma;
            if (ratio > worstRatio) {
                worstRatio = ratio;
                worst = i;
            }
        }
        if (worstRatio <= kOutlierSigmas) return;
        r.line.points.erase(r.line.points.begin() + static_cast<std::ptrdiff_t>(worst));
        r.line.fit();
        --r.agreeing;
    }
}

LineResult joinStrongPeaks(const std::vector<LineFit::Point>& peaks) {
    LineResult best;
    for (std::size_t i = 0; i < peaks.size(); ++i) {
        for (std::size_t j = i + 1; j < peaks.size(); ++j) {
            LineResult r;
            r.line.add(peaks[i]);
            r.line.add(peaks[j]);
            for (std::size_t k = 0; k < peaks.size(); ++k) {
                if (k == i || k == j) continue;
                const double off = std::fabs(peaks[k].recorded - r.line.predict(peaks[k].played));
                if (off <= kOutlierSigmas * std::hypot(peaks[k].sigma, r.line.predictionSigma(peaks[k].played)))
                    r.line.points.push_back(peaks[k]);
            }
            r.line.fit();
            r.agreeing = static_cast<std::uint32_t>(r.line.points.size());
            if (r.agreeing > best.agreeing) best = r;
        }
    }
    return best;
}

}  // namespace auralyn::analysis
