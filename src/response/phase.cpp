#include "response/phase.h"

#include <cmath>

namespace auralyn::response {

double wrapDegrees(double degrees) {
    const double wrapped = std::remainder(degrees, 360.0);  // [-180, 180]
    return wrapped == -180.0 ? 180.0 : wrapped;
}

std::vector<double> unwrapRadians(std::vector<double> phases) {
    for (std::size_t i = 1; i < phases.size(); ++i)
        phases[i] = phases[i - 1] + std::remainder(phases[i] - phases[i - 1], 2.0 * kPi);
    return phases;
}

std::vector<double> groupDelay(const std::vector<double>& f, const std::vector<double>& phases) {
    const std::size_t n = f.size();
    std::vector<double> delay(n, 0.0);
    if (n < 2) return delay;
    const auto slope = [&](std::size_t a, std::size_t b) { return (phases[b] - phases[a]) / (f[b] - f[a]); };
    for (std::size_t i = 1; i + 1 < n; ++i) {
        const double before = f[i] - f[i - 1], after = f[i + 1] - f[i];
        // Derivative of the parabola through three points: the two one-sided
        // slopes weighted by the opposite steps.
        const double derivative = (slope(i - 1, i) * after + slope(i, i + 1) * before) / (before + after);
        delay[i] = -derivative / (2.0 * kPi);
    }
    delay[0] = -slope(0, 1) / (2.0 * kPi);
    delay[n - 1] = -slope(n - 2, n - 1) / (2.0 * kPi);
    return delay;
}

std::vector<double> groupDelay(const Response& response) {
    return groupDelay(frequencies(response), phases(response));
}

Response removeDelay(Response response, double seconds) {
    for (Tone& tone : response.tones) tone.phase += 2.0 * kPi * tone.frequency * seconds;
    response.delayRemoved += seconds;
    return response;
}

}  // namespace auralyn::response
