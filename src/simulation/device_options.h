#pragma once

#include <optional>
#include <string>
#include <vector>

#include "simulation/device.h"

namespace auralyn::simulation {

enum class Mode { Help, Process, Response, ResponseForReport };

struct Options {
    Mode mode = Mode::Process;
    std::string inputPath;
    std::string outputPath;
    std::string reportPath;            // --response-for
    std::vector<double> frequencies;   // --response
    std::optional<double> sampleRate;  // --rate, for --response only
    Device device;
};

inline constexpr double kDefaultResponseRate = 48000.0;

// False, with a message, for anything that is not a complete, sensible command.
bool parseOptions(const std::vector<std::string>& args, Options& options, std::string& error);

extern const char* const kUsage;

}  // namespace auralyn::simulation
