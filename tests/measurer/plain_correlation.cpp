#include "plain_correlation.h"

#include <cmath>

#include "measurer/sine_cosine.h"

namespace auralyn::test {

PlainMeasurement plainCorrelation(const std::vector<std::int16_t>& block, double frequency, std::uint32_t rate) {
    constexpr double kTwoPi = 6.283185307179586;
    const long double step =
        (static_cast<long double>(kTwoPi) * static_cast<long double>(frequency)) / static_cast<long double>(rate);
    double sine = 0.0, cosine = 0.0, ss = 0.0, sc = 0.0, cc = 0.0;
    long double index = 0.0L;
    for (const std::int16_t sample : block) {
        const double angle = static_cast<double>(step * index);
        index += 1.0L;
        double s = 0.0, c = 0.0;
        measurer::sineCosine(&angle, &s, &c, 1);
        const double value = sample;
        sine = sine + s * value;
        cosine = cosine + c * value;
        ss = ss + s * s;
        sc = sc + s * c;
        cc = cc + c * c;
    }
    if (block.empty()) return {};
    const auto count = static_cast<double>(block.size());
    const double measured = 2.0 * std::sqrt(sine * sine + cosine * cosine) / count;
    const double phase = (sine == 0.0 && cosine == 0.0) ? 0.0 : std::atan2(cosine, sine);
    const double refSine = std::cos(phase) * ss + std::sin(phase) * sc;
    const double refCosine = std::cos(phase) * sc + std::sin(phase) * cc;
    const double reference = 2.0 * std::sqrt(refSine * refSine + refCosine * refCosine) / count;
    if (reference == 0.0) return {};
    return {measured / reference, phase};
}

}  // namespace auralyn::test
