#include "calibration/spectrum_peaks.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <memory>
#include <numbers>
#include <vector>

#include "platform/fftw_arrays.h"

namespace auralyn::calibration {
namespace {

constexpr std::size_t kMaxLength = 65536;
// A Hann window's main lobe is 4 bins wide; a few more keep its skirt out.
constexpr std::size_t kLobeBins = 6;

struct PlanDeleter {
    void operator()(fftw_plan_s* plan) const { platform::fftw().destroyPlan(plan); }
};

// |X(k)|^2 of the windowed, offset-free samples.
std::vector<double> powerSpectrum(std::span<const double> samples) {
    const std::size_t n = samples.size();
    double mean = 0.0;
    for (const double x : samples) mean += x;
    mean /= static_cast<double>(n);
    std::vector<double> windowed(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n));
        windowed[i] = (samples[i] - mean) * hann;
    }
    std::vector<std::complex<double>> spectrum(n / 2 + 1);
    const std::unique_ptr<fftw_plan_s, PlanDeleter> plan(platform::fftw().planDftR2c1d(
        static_cast<int>(n), windowed.data(), reinterpret_cast<fftw_complex*>(spectrum.data()), FFTW_ESTIMATE));
    platform::fftw().execute(plan.get());
    std::vector<double> power(spectrum.size());
    for (std::size_t k = 0; k < spectrum.size(); ++k) power[k] = std::norm(spectrum[k]);
    return power;
}

bool isLocalMaximum(const std::vector<double>& power, std::size_t k) {
    return k > 0 && k + 1 < power.size() && power[k] >= power[k - 1] && power[k] >= power[k + 1];
}

// Where the peak lies between bins: the vertex of the parabola through the
// logarithms of the three bins about it (exact for a Gaussian lobe, within a
// few hundredths of a bin for Hann's, which the sine fit then removes).
double refinedBin(const std::vector<double>& power, std::size_t k) {
    const double below = std::log(std::max(power[k - 1], 1e-300));
    const double at = std::log(std::max(power[k], 1e-300));
    const double above = std::log(std::max(power[k + 1], 1e-300));
    const double denominator = below - 2.0 * at + above;
    if (!(std::abs(denominator) > 0.0)) return static_cast<double>(k);
    return static_cast<double>(k) + 0.5 * (below - above) / denominator;
}

std::optional<std::size_t> highestPeak(const std::vector<double>& power, std::size_t from,
                                       std::optional<std::size_t> excluded) {
    std::optional<std::size_t> best;
    for (std::size_t k = std::max<std::size_t>(from, 1); k + 1 < power.size(); ++k) {
        if (excluded && k + kLobeBins >= *excluded && k <= *excluded + kLobeBins) continue;
        if (!isLocalMaximum(power, k) || !(power[k] > 0.0)) continue;
        if (!best || power[k] > power[*best]) best = k;
    }
    return best;
}

}  // namespace

SpectrumPeaks strongestPeaks(std::span<const double> samples, double sampleRate, double lowestHz) {
    const std::size_t n = std::min(samples.size(), kMaxLength) & ~std::size_t{1};
    SpectrumPeaks peaks;
    if (n < 16) return peaks;
    const std::vector<double> power = powerSpectrum(samples.subspan((samples.size() - n) / 2, n));
    const double binHz = sampleRate / static_cast<double>(n);
    const auto firstBin = static_cast<std::size_t>(std::ceil(lowestHz / binHz));
    const auto main = highestPeak(power, firstBin, std::nullopt);
    if (!main) return peaks;
    peaks.mainHz = refinedBin(power, *main) * binHz;
    if (const auto second = highestPeak(power, firstBin, main)) {
        peaks.secondHz = refinedBin(power, *second) * binHz;
        peaks.mainOverSecondDb = 10.0 * std::log10(power[*main] / power[*second]);
    }
    return peaks;
}

}  // namespace auralyn::calibration
