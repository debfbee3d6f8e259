#include "impedance/log_uncertainty.h"

namespace auralyn::impedance {
namespace {

// The error of ln f is k times the error of ln x: as a real 2 x 2 map of
// (ln|x|, arg x), J = [[Re k, -Im k], [Im k, Re k]]; the covariance becomes J C J^T.
LogUncertain transformed(const LogUncertain& x, std::complex<double> k) {
    const double a = k.real();
    const double b = k.imag();
    LogUncertain out;
    out.varMagnitude = a * a * x.varMagnitude - 2.0 * a * b * x.covariance + b * b * x.varPhase;
    out.varPhase = b * b * x.varMagnitude + 2.0 * a * b * x.covariance + a * a * x.varPhase;
    out.covariance = a * b * (x.varMagnitude - x.varPhase) + (a * a - b * b) * x.covariance;
    return out;
}

LogUncertain added(LogUncertain a, const LogUncertain& b) {
    a.varMagnitude += b.varMagnitude;
    a.varPhase += b.varPhase;
    a.covariance += b.covariance;
    return a;
}

}  // namespace

LogUncertain mapped(const LogUncertain& x, std::complex<double> fx, std::complex<double> k) {
    LogUncertain out = transformed(x, k);
    out.value = fx;
    return out;
}

LogUncertain sumOf(const LogUncertain& a, const LogUncertain& b) {
    const std::complex<double> sum = a.value + b.value;
    LogUncertain out = added(transformed(a, a.value / sum), transformed(b, b.value / sum));
    out.value = sum;
    return out;
}

LogUncertain quotientOf(const LogUncertain& a, const LogUncertain& b) {
    LogUncertain out = added(a, b);
    out.value = a.value / b.value;
    return out;
}

}  // namespace auralyn::impedance
