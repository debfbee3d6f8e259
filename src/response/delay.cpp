#include "response/delay.h"

#include <algorithm>
#include <cmath>

namespace auralyn::response {
namespace {

double median(std::vector<double> values) {
    const std::size_t mid = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<long>(mid), values.end());
    double m = values[mid];
    if (values.size() % 2 == 0) m = (m + *std::max_element(values.begin(), values.begin() + static_cast<long>(mid))) / 2.0;
    return m;
}

// Running least-squares line y = c + b·x.
class LineFit {
public:
    void add(double x, double y) {
        ++n_, sx_ += x, sy_ += y, sxx_ += x * x, sxy_ += x * y;
    }
    std::size_t count() const { return n_; }
    double slope() const {
        const double m = static_cast<double>(n_);
        const double d = m * sxx_ - sx_ * sx_;
        return d > 0.0 ? (m * sxy_ - sx_ * sy_) / d : 0.0;
    }
    double intercept() const { return (sy_ - slope() * sx_) / static_cast<double>(n_); }
    double at(double x) const { return intercept() + slope() * x; }

private:
    std::size_t n_ = 0;
    double sx_ = 0, sy_ = 0, sxx_ = 0, sxy_ = 0;
};

}  // namespace

DelayEstimate findDelay(const Response& response, const Extension& extension) {
    const std::vector<double> db = magnitudesDb(response);
    const double level = median(db);
    const std::vector<double> excess = excessPhase(response, minimumPhase(response, extension));

    DelayEstimate estimate;
    LineFit fit;
    double previous = 0.0;
    // The minimum phase is least sure within an octave of either end, where
    // the guessed extension weighs most; those tones are left out where the
    // curve spans more than three octaves.
    const double first = response.tones.front().frequency, last = response.tones.back().frequency;
    const bool trim = last / first > 8.0;
    for (std::size_t i = 0; i < response.tones.size(); ++i) {
        const double f = response.tones[i].frequency;
        if (std::abs(db[i] - level) > 10.0) continue;
        if (trim && (f < 2.0 * first || f > last / 2.0)) continue;
        // The first tones are taken against their neighbour, later ones against the line.
        const double expected = fit.count() < 3 ? (fit.count() == 0 ? excess[i] : previous) : fit.at(f);
        const double phase = expected + std::remainder(excess[i] - expected, 2.0 * kPi);
        fit.add(f, phase);
        previous = phase;
        if (estimate.tonesUsed++ == 0) estimate.bandLow = f;
        estimate.bandHigh = f;
    }
    if (estimate.tonesUsed < 2) throw Error("fewer than two tones lie within 10 dB of the median level: no delay can be fitted");
    estimate.seconds = -fit.slope() / (2.0 * kPi);
    return estimate;
}

double referenceDelay(const Response& response) {
    if (response.referenceDelay) return *response.referenceDelay;
    if (response.referenceChannel) return 0.0;
    throw Error("has no time reference (it was not measured against a reference channel and states no "
                "reference_delay_s): --delay reference has nothing to take out; use --delay auto or SECONDS");
}

}  // namespace auralyn::response
