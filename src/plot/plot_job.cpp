#include "plot/plot_job.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <utility>

#include "plot/bode_plot.h"
#include "plot/measurement.h"
#include "platform/path_names.h"
#include "platform/staged_file.h"
#include "plot/plausible_values.h"

namespace auralyn::plot {
namespace {

using OutputFile = std::pair<std::string, std::string>;  // path, text

std::string fileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

bool samePath(const std::string& a, const std::string& b) {
    std::error_code ignored;
    return std::filesystem::weakly_canonical(a, ignored) == std::filesystem::weakly_canonical(b, ignored);
}

// No output may replace a measurement or another output.
bool checkOutputPaths(const PlotRequest& request, const std::vector<std::string>& outputs, std::string& error) {
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        for (const std::string& input : request.measurements) {
            if (samePath(outputs[i], input)) {
                error = outputs[i] + ": the output would overwrite the measurement " + input;
                return false;
            }
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (samePath(outputs[i], outputs[j])) {
                error = outputs[i] + ": two outputs would overwrite each other (give the measurements different "
                                     "names, or the plot another name with -o)";
                return false;
            }
        }
    }
    return true;
}

std::string describe(const Measurement& m) {
    std::string text = fileName(m.path) + ": " + std::to_string(drawnCount(m)) + " tones";
    if (m.sampleRate != 0) text += ", " + std::to_string(m.sampleRate) + " Hz";
    return text;
}

std::string titleFor(const std::vector<Measurement>& measurements) {
    if (measurements.size() > 1) return "Frequency response of " + std::to_string(measurements.size()) + " measurements";
    const Measurement& m = measurements.front();
    if (m.measuredFile.empty()) return "Frequency response, " + fileName(m.path);
    return "Frequency response of \"" + m.measuredFile + "\", " + std::to_string(m.sampleRate) + " Hz";
}

std::string noteFor(const std::vector<Measurement>& measurements, const PlotRequest& request) {
    std::size_t drawn = 0, tones = 0, silent = 0;
    for (const Measurement& m : measurements) {
        drawn += drawnCount(m);
        tones += m.points.size();
        silent += m.silentTones;
    }
    char text[240];
    if (request.normalizeHz)
        std::snprintf(text, sizeof text, " tones; every curve normalized to 0 dB at %g Hz", *request.normalizeHz);
    else
        std::snprintf(text, sizeof text, " tones; magnitude relative to the full-scale test tone");
    std::string note = std::to_string(drawn) + text;
    if (silent != 0) note += "; " + std::to_string(silent) + " silent tones not drawn";
    if (drawn + silent < tones) note += "; " + std::to_string(tones - drawn - silent) + " tones without a number not drawn";
    return note;
}

template <std::size_t N>
std::string joined(const std::array<const char*, N>& names) {
    std::string text;
    for (const char* name : names) text += (text.empty() ? "" : ", ") + std::string(name);
    return text;
}

// --distortion and --uncertainty draw columns that only analyze's CSV file has.
template <std::size_t N>
bool checkColumns(const Measurement& m, const char* option, const std::array<const char*, N>& columns,
                  std::string& error) {
    std::string missing;
    if (hasColumns(m, columns, missing)) return true;
    if (m.sampleRate != 0)
        error = m.path + ": " + option + " needs a CSV file of auralyn analyze --csv with the columns " +
                joined(columns) + "; an echoprobe report has none of them";
    else
        error = m.path + ": " + option + " needs the columns " + joined(columns) + "; the file lacks " + missing;
    return false;
}

// Every file is complete before the first takes its name, so a failed run
// replaces none of them.
bool writeAll(const std::vector<OutputFile>& files, std::string& error) {
    std::vector<platform::StagedFile> staged;
    staged.reserve(files.size());
    for (const auto& [path, text] : files) {
        staged.emplace_back(path);
        std::FILE* out = std::fopen(staged.back().writePath().c_str(), "wb");
        if (out == nullptr) {
            error = path + ": cannot be written in its folder";
            return false;
        }
        const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
        if (std::fclose(out) != 0 || !written) {
            error = path + ": writing failed (disk full?)";
            return false;
        }
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::string reason;
        if (!staged[i].commit(reason)) {
            error = files[i].first + ": cannot be written (" + reason + ")";
            return false;
        }
    }
    return true;
}

// Every drawn tone's magnitude in the request's unit; returns how many could
// not be given in it (those are no longer drawn).
std::size_t convertToUnit(Measurement& m, const std::function<std::optional<double>(double, double)>& toUnit) {
    std::size_t left = 0;
    for (auto& point : m.points) {
        if (!point) continue;
        const std::optional<double> converted = toUnit(point->frequency, point->magnitudeDb);
        if (converted) {
            point->magnitudeDb = *converted;
        } else {
            point.reset();
            ++left;
        }
    }
    return left;
}

}  // namespace

std::string modificationTimeOf(const std::string& path) {
    std::error_code failure;
    const auto written = std::filesystem::last_write_time(path, failure);
    if (failure) return "at an unknown time";
    const std::time_t seconds =
        std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(written));
    const std::tm* utc = std::gmtime(&seconds);
    char text[64];
    if (utc == nullptr || std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", utc) == 0)
        return "at an unknown time";
    return text;
}

std::string frdDocument(const Measurement& m, const std::string& measuredAt, const std::string& unit,
                        const std::string& unitSource) {
    std::string comment = "* Frequency response";
    if (!m.measuredFile.empty()) comment += " of \"" + m.measuredFile + "\"";
    if (m.sampleRate != 0) comment += " at " + std::to_string(m.sampleRate) + " Hz";
    comment += ", measured " + measuredAt + " (" + fileName(m.path) + "); frequency (Hz), magnitude (" +
               (unit.empty() ? std::string("dB re the full-scale test tone") : unit) + "), phase (deg)";
    if (!unitSource.empty()) comment += "; " + unitSource;
    comment += "\n";
    for (char& c : comment)
        if (c == '\r' || (c == '\n' && &c != &comment.back())) c = ' ';  // one line, whatever the name holds
    return comment + renderFrd(m.points);
}

bool runPlot(const PlotRequest& request, PlotResult& result, std::string& error) {
    result = PlotResult{};
    result.plotPath = request.output.empty() ? platform::withExtension(request.measurements.front(), ".svg")
                                             : request.output;
    std::vector<std::string> outputs = {result.plotPath};
    if (request.frd)
        for (const std::string& path : request.measurements) outputs.push_back(platform::withExtension(path, ".frd"));
    if (!checkOutputPaths(request, outputs, error)) return false;

    std::vector<Measurement> measurements(request.measurements.size());
    std::vector<OutputFile> files(1);
    for (std::size_t i = 0; i < measurements.size(); ++i) {
        Measurement& m = measurements[i];
        if (!readMeasurementFile(request.measurements[i], m, error)) return false;
        if (request.distortion && !checkColumns(m, "--distortion", kDistortionColumns, error)) return false;
        if (request.uncertainty && !checkColumns(m, "--uncertainty", kUncertaintyColumns, error)) return false;
        const std::size_t drawn = drawnCount(m);
        if (drawn == 0) {
            error = m.silentTones == m.points.size()
                        ? m.path + ": every tone has an amplitude of 0: the recording was silent"
                        : m.path + ": no tone can be drawn: " + leftOutText(m);
            return false;
        }
        if (drawn < m.points.size()) result.warnings.push_back(leftOutText(m) + " were left out of " + m.path);
        if (request.toUnit) {
            const std::size_t left = convertToUnit(m, request.toUnit);
            if (left > 0)
                result.warnings.push_back(std::to_string(left) + " tones of " + m.path + " cannot be given in " +
                                          request.unit + " (outside the cal file) and were left out");
        }
        // The FRD file holds the measurement itself, never normalized.
        if (request.frd)
            files.emplace_back(outputs[i + 1],
                               frdDocument(m, modificationTimeOf(m.path), request.unit, request.unitSource));
        if (request.normalizeHz && !normalizeAt(m, *request.normalizeHz, error)) return false;
        result.summaries.push_back(describe(m));
    }

    BodePlot plot;
    plot.title = titleFor(measurements);
    plot.note = noteFor(measurements, request);
    if (!request.unit.empty()) plot.magnitudeTitle = "Magnitude (" + request.unit + ")";
    if (request.normalizeHz) plot.magnitudeTitle = "Magnitude (dB, normalized)";
    plot.distortion = request.distortion;
    plot.uncertainty = request.uncertainty;
    for (Measurement& m : measurements)
        plot.curves.push_back(Curve{fileName(m.path), std::move(m.points), std::move(m.quality)});
    files[0] = {result.plotPath, renderBodePlot(plot)};
    if (!writeAll(files, error)) return false;
    result.frdPaths.assign(outputs.begin() + 1, outputs.end());
    return true;
}

}  // namespace auralyn::plot
