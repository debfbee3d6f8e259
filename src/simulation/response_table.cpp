#include "simulation/response_table.h"

#include <cmath>
#include <cstdio>
#include <numbers>

namespace auralyn::simulation {

std::string responseTable(const Device& device, const std::vector<double>& frequencies, double sampleRate) {
    std::string table = "Frequency (Hz), Magnitude (dB), Phase (deg)\n";
    for (double frequency : frequencies) {
        const std::complex<double> response = deviceResponse(device, frequency, sampleRate);
        const double magnitude = std::abs(response);
        double phase = std::arg(response) * 180.0 / std::numbers::pi;
        if (phase <= -180.0) phase += 360.0;
        char line[128];
        if (magnitude > 0.0)
            std::snprintf(line, sizeof line, "%.4f, %.6f, %.6f\n", frequency, 20.0 * std::log10(magnitude), phase);
        else
            std::snprintf(line, sizeof line, "%.4f, -Inf, %.6f\n", frequency, phase);
        table += line;
    }
    return table;
}

}  // namespace auralyn::simulation
