#include "impedance/wiring.h"

#include <algorithm>
#include <cmath>

#include "impedance/estimate.h"

namespace auralyn::impedance {
namespace {

constexpr double kLn10Over20 = 0.11512925464970229;

double parallel(double a, double b) { return a * b / (a + b); }

// The sense resistor as the wiring sees it: across the resistor, the input
// measuring it is in parallel with it.
double effectiveSense(const Fixture& fixture) {
    if (fixture.wiring == Wiring::AcrossResistor && fixture.inputImpedanceOhms)
        return parallel(fixture.senseOhms, *fixture.inputImpedanceOhms);
    return fixture.senseOhms;
}

// The load measured is Z in parallel with the driver channel's input Rin:
// Z = Zm Rin / (Rin - Zm), whose logarithmic derivative is Rin / (Rin - Zm).
std::optional<LogUncertain> withoutInputLoad(const LogUncertain& measured, double rin) {
    const std::complex<double> gap = rin - measured.value;
    if (gap.real() <= 0.0) return std::nullopt;  // more than the input's resistance allows
    return mapped(measured, measured.value * rin / gap, rin / gap);
}

}  // namespace

LogUncertain ratioWithErrors(const RatioTone& tone) {
    LogUncertain h;
    h.value = tone.ratio;
    const double sigmaMagnitude = tone.magnitudeU95Db * kLn10Over20 / kCoverage95;
    const double sigmaPhase = tone.phaseU95Deg * kPi / 180.0 / kCoverage95;
    h.varMagnitude = sigmaMagnitude * sigmaMagnitude;
    h.varPhase = sigmaPhase * sigmaPhase;
    return h;
}

std::optional<LogUncertain> impedanceFromRatio(const LogUncertain& ratio, const Fixture& fixture) {
    const std::complex<double> h = ratio.value;
    if (!std::isfinite(h.real()) || !std::isfinite(h.imag()) || std::abs(h) == 0.0) return std::nullopt;
    LogUncertain measured;
    if (fixture.wiring == Wiring::Series) {
        if (std::abs(h) >= 1.0) return std::nullopt;
        // d ln Z / d ln H = 1 / (1 - H): near H = 1 small errors of H become large ones of Z.
        measured = mapped(ratio, fixture.senseOhms * h / (1.0 - h), 1.0 / (1.0 - h));
    } else {
        measured = mapped(ratio, effectiveSense(fixture) * h, 1.0);
    }
    if (!fixture.inputImpedanceOhms) return measured;
    return withoutInputLoad(measured, *fixture.inputImpedanceOhms);
}

std::complex<double> ratioForLoad(std::complex<double> ohms, const Fixture& fixture) {
    std::complex<double> load = ohms;
    if (fixture.inputImpedanceOhms) load = ohms * *fixture.inputImpedanceOhms / (ohms + *fixture.inputImpedanceOhms);
    if (fixture.wiring == Wiring::Series) return load / (fixture.senseOhms + load);
    return load / effectiveSense(fixture);
}

ImpedancePoint pointOf(double frequency, const LogUncertain& z, const Fixture& fixture,
                       std::optional<double> driveDbfs) {
    const double tolerance = fixture.senseTolerancePercent / 100.0 / std::sqrt(3.0);
    const double sigmaMagnitude = std::sqrt(std::max(z.varMagnitude, 0.0) + tolerance * tolerance);
    const double sigmaPhase = std::sqrt(std::max(z.varPhase, 0.0));
    ImpedancePoint point;
    point.frequency = frequency;
    point.ohms = z.value;
    // The interval of |Z| from that of ln|Z|, to first order.
    point.magnitudeU95 = kCoverage95 * sigmaMagnitude * std::abs(z.value);
    point.phaseU95Deg = std::min(kCoverage95 * sigmaPhase * 180.0 / kPi, 180.0);
    point.driveDbfs = driveDbfs;
    return point;
}

double magnitudeOf(const ImpedancePoint& point) { return std::abs(point.ohms); }
double phaseDegOf(const ImpedancePoint& point) { return std::arg(point.ohms) * 180.0 / kPi; }

}  // namespace auralyn::impedance
