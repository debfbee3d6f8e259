#include "calibration/uncertainty_budget.h"

#include <algorithm>
#include <cmath>

namespace auralyn::calibration {
namespace {

constexpr double kNormal95 = 1.959963984540054;
constexpr int kGridPointsPerWidth = 128;

double normalCdf(double z) { return 0.5 * std::erfc(-z / std::sqrt(2.0)); }

// The density of a sum of rectangular distributions on a grid of the given
// step, centred on 0: repeated convolution of the discretised boxes.
std::vector<double> rectangularSumDensity(const std::vector<double>& halfWidths, double step) {
    std::vector<double> density{1.0};
    for (const double halfWidth : halfWidths) {
        const int reach = std::max(1, static_cast<int>(std::lround(halfWidth / step)));
        const std::size_t boxSize = static_cast<std::size_t>(2 * reach + 1);
        std::vector<double> next(density.size() + boxSize - 1, 0.0);
        for (std::size_t i = 0; i < density.size(); ++i) {
            for (std::size_t j = 0; j < boxSize; ++j) next[i + j] += density[i] / static_cast<double>(boxSize);
        }
        density = std::move(next);
    }
    return density;
}

// Probability that |X| <= w, X the grid sum plus a normal of deviation sigma.
double coverage(const std::vector<double>& density, double step, double sigma, double w) {
    const double centre = static_cast<double>(density.size() - 1) / 2.0;
    double inside = 0.0;
    for (std::size_t i = 0; i < density.size(); ++i) {
        const double x = (static_cast<double>(i) - centre) * step;
        inside += density[i] * (normalCdf((w - x) / sigma) - normalCdf((-w - x) / sigma));
    }
    return inside;
}

}  // namespace

double rectangularStandard(double halfWidth) { return std::abs(halfWidth) / std::sqrt(3.0); }

double normalStandardFrom95(double halfWidth95) { return std::abs(halfWidth95) / kNormal95; }

double combinedStandard(const std::vector<UncertaintyComponent>& components) {
    double sumOfSquares = 0.0;
    for (const auto& component : components) sumOfSquares += component.standardDb * component.standardDb;
    return std::sqrt(sumOfSquares);
}

double expanded95(const std::vector<UncertaintyComponent>& components) {
    double normalSquares = 0.0;
    std::vector<double> halfWidths;
    for (const auto& component : components) {
        if (!(component.standardDb > 0.0)) continue;
        if (component.distribution == Distribution::rectangular) {
            halfWidths.push_back(component.standardDb * std::sqrt(3.0));
        } else {
            normalSquares += component.standardDb * component.standardDb;
        }
    }
    double sigma = std::sqrt(normalSquares);
    if (halfWidths.empty()) return kNormal95 * sigma;
    double totalWidth = 0.0;
    for (const double halfWidth : halfWidths) totalWidth += halfWidth;
    const double step = totalWidth / kGridPointsPerWidth;
    // The grid's own spread stands in for a vanishing normal part, so that the
    // coverage is continuous in w and the search below well defined.
    sigma = std::max(sigma, step / 2.0);
    const std::vector<double> density = rectangularSumDensity(halfWidths, step);
    double low = 0.0, high = totalWidth + 8.0 * sigma;
    for (int iteration = 0; iteration < 32; ++iteration) {
        const double middle = (low + high) / 2.0;
        (coverage(density, step, sigma, middle) < 0.95 ? low : high) = middle;
    }
    return high;
}

}  // namespace auralyn::calibration
