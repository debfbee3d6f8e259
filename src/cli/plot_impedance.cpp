#include "cli/plot_impedance.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "cli/exit_codes.h"
#include "cli/diagnostics.h"
#include "cli/impedance_files.h"

namespace auralyn::cli {
namespace {

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The file's first few kilobytes, where a table names its columns.
std::string opening(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text(4096, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return text;
}

}  // namespace

bool isImpedanceCurve(const std::string& path) {
    if (lowerCase(std::filesystem::path(path).extension().string()) == ".zma") return true;
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(path, ignored)) return false;
    return opening(path).find("impedance_ohm") != std::string::npos;
}

int plotImpedanceCurves(const std::vector<std::string>& paths, std::string output) {
    if (output.empty()) output = std::filesystem::path(paths.front()).replace_extension(".svg").string();
    if (!pathsAreDistinct({output}, paths)) return kExitUsage;
    std::vector<impedance::ImpedanceCurve> curves(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i)
        if (!readImpedanceCurveFile(paths[i], curves[i])) return kExitFailure;
    std::vector<ImpedanceTraceInput> traces;
    for (std::size_t i = 0; i < paths.size(); ++i)
        traces.push_back({std::filesystem::path(paths[i]).filename().string(), &curves[i], false});
    const std::string note = std::to_string(paths.size()) + (paths.size() == 1 ? " curve" : " curves") +
                             "; magnitude in ohms, phase in degrees, 95 % intervals shaded where the file holds them";
    if (!writeWholeFile(output, impedancePlotSvg("Impedance", note, traces))) return kExitFailure;
    std::printf("Plot: %s\n", output.c_str());
    for (std::size_t i = 0; i < paths.size(); ++i)
        std::printf("  %s: %s tones from %g Hz to %g Hz\n", paths[i].c_str(), std::to_string(curves[i].size()).c_str(),
                    curves[i].front().frequency, curves[i].back().frequency);
    return kExitSuccess;
}

}  // namespace auralyn::cli
