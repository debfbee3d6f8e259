// echoplot: draws a measurement report as a Bode plot and exports it as FRD.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "echoplot/bode_plot.h"
#include "echoplot/output_file.h"
#include "echoplot/report_reader.h"

namespace {

constexpr const char* kUsage =
    "Usage: echoplot REPORT.txt [OUT.svg]\n"
    "\n"
    "Reads a measurement report written by echoprobe and writes\n"
    "  OUT.svg      a Bode plot: magnitude (dB relative to the full-scale test tone)\n"
    "               and phase (degrees, as unwrapped in the report) against a\n"
    "               logarithmic frequency axis; default REPORT.svg\n"
    "  REPORT.frd   one line per tone: frequency (Hz), magnitude (dB), phase (deg)\n"
    "Tones measured with an amplitude of 0 are left out of both.\n";

int fail(const std::string& message) {
    std::fprintf(stderr, "echoplot: %s\n", message.c_str());
    return 1;
}

bool samePath(const std::string& a, const std::string& b) {
    std::error_code ignored;
    return std::filesystem::weakly_canonical(a, ignored) == std::filesystem::weakly_canonical(b, ignored);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace auralyn;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (std::find(args.begin(), args.end(), "--help") != args.end() ||
        std::find(args.begin(), args.end(), "-h") != args.end()) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args.empty() || args.size() > 2 || (!args[0].empty() && args[0][0] == '-') ||
        (args.size() == 2 && !args[1].empty() && args[1][0] == '-')) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string& reportPath = args[0];
    const std::string svgPath = args.size() == 2 ? args[1] : tools::withExtension(reportPath, ".svg");
    const std::string frdPath = tools::withExtension(reportPath, ".frd");
    if (samePath(svgPath, reportPath) || samePath(frdPath, reportPath) || samePath(svgPath, frdPath))
        return fail("the plot and the FRD file would overwrite the report or each other: " + svgPath + ", " + frdPath);

    tools::Report report;
    std::string error;
    if (!tools::readReportFile(reportPath, report, error)) return fail(error);
    const std::vector<std::optional<echoplot::ResponsePoint>> points = echoplot::responsePoints(report);
    const auto drawn = static_cast<std::size_t>(std::count_if(points.begin(), points.end(), [](const auto& p) {
        return p.has_value();
    }));
    if (drawn == 0) return fail(reportPath + ": every tone has an amplitude of 0: the recording was silent");

    if (!tools::writeTextFileAtomically(svgPath, echoplot::renderBodePlot(report, points), error)) return fail(error);
    if (!tools::writeTextFileAtomically(frdPath, echoplot::renderFrd(points), error)) return fail(error);
    if (drawn < points.size())
        std::fprintf(stderr, "echoplot: warning: %zu tones with an amplitude of 0 were left out\n",
                     points.size() - drawn);
    std::printf("Plot: %s\nFRD:  %s\n%zu tones, %u Hz\n", svgPath.c_str(), frdPath.c_str(), drawn, report.sampleRate);
    return 0;
}
