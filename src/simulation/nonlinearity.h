#pragma once

#include <vector>

namespace auralyn::simulation {

inline constexpr double kSampleFullScale = 32767.0;

// y = x + a2 x^2 + a3 x^3 + ... on x = value / 32767, scaled back to sample units.
double applyPolynomial(const std::vector<double>& coefficients, double value);

// The clipping level in sample units for a level in dB relative to full scale.
double clipLimit(double levelDb);

// A periodic signal as DC plus harmonics: sum over k of
// cosine[k] cos(k theta) + sine[k] sin(k theta), index k from 0.
struct HarmonicSeries {
    std::vector<double> cosine;
    std::vector<double> sine;

    double amplitude(std::size_t k) const;
};

// The exact output of the polynomial for the input amplitude * sin(theta)
// (amplitude relative to full scale), from the power-reduction identities
//   sin^n = 2^(1-n) sum_j (-1)^((n-1)/2-j) C(n,j) sin((n-2j) theta)       n odd,
//   sin^n = 2^-n C(n,n/2) + 2^(1-n) sum_j (-1)^(n/2-j) C(n,j) cos((n-2j) theta)  n even,
// j < n/2. Relative to full scale; index k up to the polynomial's degree.
HarmonicSeries polynomialHarmonics(const std::vector<double>& coefficients, double amplitude);

// The exact output of hard clipping at `level` (relative to full scale) of
// amplitude * sin(theta), harmonics 0..highest: the Fourier series of the
// clipped sine, odd sine terms only.
HarmonicSeries clipHarmonics(double level, double amplitude, std::size_t highest);

}  // namespace auralyn::simulation
