#include "simulation/nonlinearity.h"

#include <cmath>

namespace auralyn::simulation {
namespace {

constexpr double kPi = 3.141592653589793;

double binomial(int n, int k) {
    double result = 1.0;
    for (int i = 1; i <= k; ++i) result = result * (n - k + i) / i;
    return result;
}

// sin^n theta as a harmonic series, added with weight `weight` into `out`.
void addSinePower(int n, double weight, HarmonicSeries& out) {
    const double scale = std::ldexp(1.0, 1 - n);
    for (int j = 0; 2 * j < n; ++j) {
        const int k = n - 2 * j;
        const int exponent = (n % 2 == 1) ? (n - 1) / 2 - j : n / 2 - j;
        const double sign = exponent % 2 == 0 ? 1.0 : -1.0;
        const double term = weight * sign * scale * binomial(n, j);
        if (n % 2 == 1) {
            out.sine[k] += term;
        } else {
            out.cosine[k] += term;
        }
    }
    if (n % 2 == 0) out.cosine[0] += weight * std::ldexp(binomial(n, n / 2), -n);
}

}  // namespace

double applyPolynomial(const std::vector<double>& coefficients, double value) {
    const double x = value / kSampleFullScale;
    double y = 0.0;  // Horner on a2 + a3 x + ...
    for (auto a = coefficients.rbegin(); a != coefficients.rend(); ++a) y = y * x + *a;
    return (x + y * x * x) * kSampleFullScale;
}

double clipLimit(double levelDb) { return kSampleFullScale * std::pow(10.0, levelDb / 20.0); }

double HarmonicSeries::amplitude(std::size_t k) const {
    if (k >= sine.size()) return 0.0;
    return k == 0 ? std::fabs(cosine[0]) : std::hypot(cosine[k], sine[k]);
}

HarmonicSeries polynomialHarmonics(const std::vector<double>& coefficients, double amplitude) {
    const std::size_t degree = coefficients.size() + 1;
    HarmonicSeries series{std::vector<double>(degree + 1), std::vector<double>(degree + 1)};
    addSinePower(1, amplitude, series);
    for (std::size_t i = 0; i < coefficients.size(); ++i) {
        const int n = static_cast<int>(i) + 2;
        addSinePower(n, coefficients[i] * std::pow(amplitude, n), series);
    }
    return series;
}

HarmonicSeries clipHarmonics(double level, double amplitude, std::size_t highest) {
    HarmonicSeries series{std::vector<double>(highest + 1), std::vector<double>(highest + 1)};
    if (highest >= 1 && !(level < amplitude)) {
        series.sine[1] = amplitude;
        return series;
    }
    // Quarter-wave symmetry: b_k = 4/pi [A int_0^c sin t sin kt dt + L int_c^(pi/2) sin kt dt], c = asin(L/A).
    const double c = std::asin(level / amplitude);
    for (std::size_t k = 1; k <= highest; k += 2) {
        const double kk = static_cast<double>(k);
        const double sineProduct = k == 1 ? 0.5 * (c - 0.5 * std::sin(2.0 * c))
                                          : 0.5 * (std::sin((kk - 1.0) * c) / (kk - 1.0) -
                                                   std::sin((kk + 1.0) * c) / (kk + 1.0));
        series.sine[k] = 4.0 / kPi * (amplitude * sineProduct + level * std::cos(kk * c) / kk);
    }
    return series;
}

}  // namespace auralyn::simulation
