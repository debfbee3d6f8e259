#pragma once

#include <complex>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "simulation/biquad.h"

namespace auralyn::simulation {

struct GainPart {
    double db = 0.0;
};

struct DelayPart {
    std::int64_t samples = 0;  // whole samples of silence put in front
};

// White Gaussian noise; the level is its RMS relative to a full-scale sine,
// so a full-scale tone and noise at -40 dBFS are 40 dB apart.
struct NoisePart {
    double dbfs = -96.0;
    std::uint64_t seed = 0;
};

// The recorder's clock runs this many parts per million fast: one second of
// input becomes 1 + ppm / 1e6 seconds of output samples.
struct ClockPart {
    double ppm = 0.0;
};

struct InvertPart {};

// A memoryless polynomial: y = x + a2 x^2 + a3 x^3 + ..., with x the sample
// over full scale (32767) and y scaled back. coefficients[0] is a2.
struct PolynomialPart {
    std::vector<double> coefficients;
};

// Hard clipping at `levelDb` (0 or below) relative to full scale.
struct ClipPart {
    double levelDb = 0.0;
};

using DevicePart =
    std::variant<GainPart, FilterSettings, DelayPart, NoisePart, ClockPart, InvertPart, PolynomialPart, ClipPart>;

// A device under test: its parts act on the signal in this order.
struct Device {
    std::vector<DevicePart> parts;
};

inline constexpr std::int64_t kMaxDelaySamples = 10'000'000;
inline constexpr double kMaxClockErrorPpm = 10'000.0;
inline constexpr std::size_t kMaxPolynomialCoefficients = 19;  // up to x^20

// Empty when every part can run at this sampling rate; otherwise what is wrong.
std::string checkDevice(const Device& device, double sampleRate);

// The exact complex response of the linear parts; noise and clock error have
// none, and the nonlinear parts count as 1 (their harmonics: nonlinearity.h).
std::complex<double> deviceResponse(const Device& device, double frequency, double sampleRate);

std::string describePart(const DevicePart& part);
std::string describeDevice(const Device& device);

}  // namespace auralyn::simulation
