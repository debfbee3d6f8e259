#include "simulation/device.h"

#include <cmath>
#include <cstdio>
#include <numbers>

#include "simulation/overloaded.h"

namespace auralyn::simulation {
namespace {

const char* filterName(FilterKind kind) {
    switch (kind) {
    case FilterKind::LowPass: return "low-pass";
    case FilterKind::HighPass: return "high-pass";
    case FilterKind::BandPass: return "band-pass";
    case FilterKind::Notch: return "notch";
    case FilterKind::Peak: return "peak";
    case FilterKind::LowShelf: return "low shelf";
    case FilterKind::HighShelf: return "high shelf";
    case FilterKind::AllPass: return "all-pass";
    }
    return "filter";
}

bool usesGain(FilterKind kind) {
    return kind == FilterKind::Peak || kind == FilterKind::LowShelf || kind == FilterKind::HighShelf;
}

std::string format(const char* pattern, double a, double b = 0.0, double c = 0.0) {
    char text[160];
    std::snprintf(text, sizeof text, pattern, a, b, c);
    return text;
}

std::string checkFilter(const FilterSettings& f, double sampleRate) {
    const double nyquist = sampleRate / 2.0;
    if (!(f.frequency > 0.0 && f.frequency < nyquist))
        return std::string(filterName(f.kind)) +
               format(" at %g Hz: the frequency must lie above 0 and below half the sampling rate (%g Hz)",
                      f.frequency, nyquist);
    return {};
}

}  // namespace

std::string checkDevice(const Device& device, double sampleRate) {
    for (const DevicePart& part : device.parts) {
        if (const auto* filter = std::get_if<FilterSettings>(&part)) {
            std::string problem = checkFilter(*filter, sampleRate);
            if (!problem.empty()) return problem;
        }
    }
    return {};
}

std::complex<double> deviceResponse(const Device& device, double frequency, double sampleRate) {
    std::complex<double> response = 1.0;
    const double w = 2.0 * std::numbers::pi * frequency / sampleRate;
    for (const DevicePart& part : device.parts) {
        response *= std::visit(
            Overloaded{
                [](const GainPart& g) { return std::complex<double>(std::pow(10.0, g.db / 20.0)); },
                [&](const FilterSettings& f) { return biquadResponse(designBiquad(f, sampleRate), frequency, sampleRate); },
                [&](const DelayPart& d) { return std::polar(1.0, -w * static_cast<double>(d.samples)); },
                [](const NoisePart&) { return std::complex<double>(1.0); },
                [](const ClockPart&) { return std::complex<double>(1.0); },
                [](const InvertPart&) { return std::complex<double>(-1.0); },
                [](const PolynomialPart&) { return std::complex<double>(1.0); },
                [](const ClipPart&) { return std::complex<double>(1.0); },
            },
            part);
    }
    return response;
}

std::string describePart(const DevicePart& part) {
    return std::visit(
        Overloaded{
            [](const GainPart& g) { return format("gain %g dB", g.db); },
            [](const FilterSettings& f) {
                std::string text = std::string(filterName(f.kind)) + format(" %g Hz Q %g", f.frequency, f.q);
                if (usesGain(f.kind)) text += format(" %+g dB", f.gainDb);
                return text;
            },
            [](const DelayPart& d) { return "delay " + std::to_string(d.samples) + " samples"; },
            [](const NoisePart& n) { return format("noise %g dBFS", n.dbfs) + " seed " + std::to_string(n.seed); },
            [](const ClockPart& c) { return format("clock %+g ppm", c.ppm); },
            [](const InvertPart&) { return std::string("inverted polarity"); },
            [](const PolynomialPart& p) {
                std::string text = "polynomial x";
                for (std::size_t i = 0; i < p.coefficients.size(); ++i)
                    text += format(" %+g x^", p.coefficients[i]) + std::to_string(i + 2);
                return text;
            },
            [](const ClipPart& c) { return format("clip at %g dBFS", c.levelDb); },
        },
        part);
}

std::string describeDevice(const Device& device) {
    if (device.parts.empty()) return "a perfect wire";
    std::string text;
    for (const DevicePart& part : device.parts) {
        if (!text.empty()) text += ", ";
        text += describePart(part);
    }
    return text;
}

}  // namespace auralyn::simulation
