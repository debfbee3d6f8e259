#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace auralyn::analysis {

// What the clock may be before any stretch has been found: a little beyond
// the range the clock correction uses. A line steeper than this is no
// recording of this sweep (another sweep that shares some tones lines up
// with them only at a ratio far from one).
inline constexpr double kPriorPpm = 2000.0;
// A stretch whose found position lies further than this many of its
// standard uncertainties from the line through all of them is dropped.
inline constexpr double kOutlierSigmas = 4.0;
inline constexpr std::size_t kNoStretch = static_cast<std::size_t>(-1);

// recording position = start + played x (1 + d), fitted by weighted least
// squares over the stretches found, with d held near 0 by the clock prior.
struct LineFit {
    struct Point {
        double played, recorded, sigma;
        std::size_t stretch;  // kNoStretch for a hint
    };
    std::vector<Point> points;
    double start = 0.0, slope = 0.0;  // slope: d = ratio - 1
    double covSS = 0.0, covSD = 0.0, covDD = 0.0;

    void add(const Point& p) {
        points.push_back(p);
        fit();
    }
    void fit();
    double predict(double played) const { return start + played * (1.0 + slope); }
    double predictionSigma(double played) const;
};

struct LineResult {
    LineFit line;
    std::uint32_t agreeing = 0;
    double margin = 0.0;
};

// Drops the points furthest off the line, one at a time, until all lie
// within kOutlierSigmas (keeping at least `keep`).
void dropOutliers(LineResult& r, std::uint32_t keep);

// The stretches' own peaks across the whole recording, each standing out of
// its correlation by the detection margin, joined on the line that the most
// of them share. Near a long low tone a stretch's correlation stays high for
// a tone's length, so the window that following a line searches holds no
// contrast there; across the whole recording it does. A line needs two peaks
// within the clock's prior of one ratio, each of which noise alone reaches
// once in 10^27 lags.
LineResult joinStrongPeaks(const std::vector<LineFit::Point>& peaks);

}  // namespace auralyn::analysis
