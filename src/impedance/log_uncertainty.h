#pragma once

#include <complex>

namespace auralyn::impedance {

// A complex quantity with the covariance of the errors of its natural
// logarithm: ln|x| (relative magnitude) and arg x (radians). Products and
// quotients only add these errors, and any analytic function f maps them by
// the complex factor x f'(x) / f(x), so first-order propagation (the GUM's law
// of propagation of uncertainty) stays a 2 x 2 matrix product.
struct LogUncertain {
    std::complex<double> value;
    double varMagnitude = 0.0;  // variance of ln|x|
    double varPhase = 0.0;      // variance of arg x, rad^2
    double covariance = 0.0;    // between the two
};

// f(x) given the logarithmic derivative k = x f'(x) / f(x) at x.
LogUncertain mapped(const LogUncertain& x, std::complex<double> fx, std::complex<double> k);

// The sum of two quantities whose errors are independent.
LogUncertain sumOf(const LogUncertain& a, const LogUncertain& b);

// Quotient a / b of independent quantities.
LogUncertain quotientOf(const LogUncertain& a, const LogUncertain& b);

}  // namespace auralyn::impedance
