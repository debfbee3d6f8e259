#pragma once

#include <string>
#include <vector>

namespace auralyn::calibration {

enum class Distribution { normal, rectangular };

// One contribution to a level's uncertainty, as the GUM lists them: its
// standard uncertainty in dB and the distribution it was evaluated from.
struct UncertaintyComponent {
    std::string name;
    double standardDb = 0.0;
    Distribution distribution = Distribution::normal;
};

// Standard uncertainty of a quantity known to lie within +-halfWidth with no
// value more likely than another (GUM 4.3.7): halfWidth / sqrt(3).
double rectangularStandard(double halfWidth);

// Standard uncertainty of an expanded 95 % interval from a normal
// distribution (k = 1.96).
double normalStandardFrom95(double halfWidth95);

// The combined standard uncertainty: root-sum-square of the components
// (GUM 5.1.2, uncorrelated inputs, unit sensitivity coefficients in dB).
double combinedStandard(const std::vector<UncertaintyComponent>& components);

// Half-width of the 95 % interval of the sum of the components' distributions.
// Where only normal terms take part that is 1.96 times the combined standard
// uncertainty; a rectangular term that dominates (a calibrator's tolerance)
// makes k = 2 claim more than it covers, so the interval is taken from the
// convolution of the distributions themselves (GUM Annex G.2, the propagation
// of distributions of GUM Supplement 1 done on a grid).
double expanded95(const std::vector<UncertaintyComponent>& components);

}  // namespace auralyn::calibration
