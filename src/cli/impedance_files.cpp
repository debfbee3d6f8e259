#include "cli/impedance_files.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/diagnostics.h"
#include "platform/staged_file.h"
#include "impedance/impedance_table.h"
#include "plot/impedance_plot.h"

namespace auralyn::cli {

bool writeWholeFile(const std::string& path, const std::string& text) {
    platform::StagedFile file(path);
    std::string error;
    if (platform::writeStagedText(file, text, error) && file.commit(error)) return true;
    printDiagnostic(path + ": could not be written: " + error);
    return false;
}

bool readWholeFile(const std::string& path, std::size_t limit, std::string& text) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) {
        printDiagnostic(path + ": no such file");
        return false;
    }
    if (std::filesystem::is_directory(status)) {
        printDiagnostic(path + ": is a folder, not a file");
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        printDiagnostic(path + ": cannot be opened");
        return false;
    }
    // Read in pieces, so that the limit, not the file, bounds what is held.
    text.clear();
    char piece[65536];
    while (in.read(piece, sizeof piece) || in.gcount() > 0) {
        text.append(piece, static_cast<std::size_t>(in.gcount()));
        if (text.size() > limit) {
            printDiagnostic(path + ": larger than an impedance file can be (" + std::to_string(limit >> 20) + " MB)");
            return false;
        }
    }
    return true;
}

bool readImpedanceCurveFile(const std::string& path, impedance::ImpedanceCurve& curve) {
    constexpr std::size_t kMaxCurveBytes = 64u << 20;
    std::string text;
    if (!readWholeFile(path, kMaxCurveBytes, text)) return false;
    std::istringstream in(text);
    impedance::CurveReading reading = impedance::readImpedanceCurve(in);
    if (!reading.ok()) {
        printDiagnostic(path + ": not an impedance curve: " + reading.error);
        return false;
    }
    curve = std::move(reading.curve);
    return true;
}

std::string impedancePlotSvg(const std::string& title, const std::string& note,
                             const std::vector<ImpedanceTraceInput>& traces) {
    plot::ImpedancePlot plot;
    plot.title = title;
    plot.note = note;
    for (const ImpedanceTraceInput& input : traces) {
        plot::ImpedanceTrace trace;
        trace.label = input.label;
        trace.model = input.model;
        for (const impedance::ImpedancePoint& p : *input.curve)
            trace.samples.push_back({p.frequency, impedance::magnitudeOf(p), impedance::phaseDegOf(p), p.magnitudeU95,
                                     p.phaseU95Deg});
        plot.traces.push_back(std::move(trace));
    }
    return plot::renderImpedancePlot(plot);
}

bool pathsAreDistinct(const std::vector<std::string>& outputs, const std::vector<std::string>& inputs) {
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (outputs[i].empty()) continue;
        for (const std::string& input : inputs) {
            if (!input.empty() && platform::samePlace(outputs[i], input)) {
                printDiagnostic(outputs[i] + ": is an input; choose another output file");
                return false;
            }
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (platform::samePlace(outputs[i], outputs[j])) {
                printDiagnostic(outputs[i] + ": given for two outputs; choose one file for each");
                return false;
            }
        }
    }
    return true;
}

}  // namespace auralyn::cli
