#include "plot/plot_job.h"

#include <algorithm>
#include <array>
#include <cmath>
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
#include "platform/utc_time.h"
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

// A file that starts like a frequency table ('*' comment lines or a row of
// numbers) or a JSON document, not like a report or analyze's CSV file.
bool looksLikeFrequencyTable(const std::string& path) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) return false;
    int c = std::fgetc(in);
    while (c == ' ' || c == '\t' || c == '\r' || c == '\n') c = std::fgetc(in);
    // analyze marks the outputs of a failed run with "# failed: ..."; such a
    // file is analyze's own and is refused as failed, not read as a table.
    char mark[9] = {};
    const bool failedMark = c == '#' && std::fgets(mark, sizeof mark, in) != nullptr && std::string(mark) == " failed:";
    std::fclose(in);
    if (failedMark) return false;
    return c == '*' || c == '#' || c == '{' || c == '-' || c == '+' || c == '.' || (c >= '0' && c <= '9');
}

bool readCurve(const PlotRequest& request, const std::string& path, Measurement& m, std::string& error) {
    if (request.readOther && looksLikeFrequencyTable(path)) {
        m = Measurement{};
        m.path = path;
        return request.readOther(path, m, error);
    }
    return readMeasurementFile(path, m, error);
}

// The level of a curve at f, straight on the log-frequency axis between its
// two nearest points; none outside them.
std::optional<double> levelAt(const std::vector<ResponsePoint>& drawn, double f) {
    if (drawn.empty() || f < drawn.front().frequency || f > drawn.back().frequency) return std::nullopt;
    const auto above = std::lower_bound(drawn.begin(), drawn.end(), f,
                                        [](const ResponsePoint& p, double x) { return p.frequency < x; });
    if (above->frequency == f || above == drawn.begin()) return above->magnitudeDb;
    const ResponsePoint& below = *(above - 1);
    const double t = std::log(f / below.frequency) / std::log(above->frequency / below.frequency);
    return below.magnitudeDb + t * (above->magnitudeDb - below.magnitudeDb);
}

std::vector<ResponsePoint> drawnSorted(const Measurement& m) {
    std::vector<ResponsePoint> drawn;
    for (const auto& p : m.points)
        if (p) drawn.push_back(*p);
    std::sort(drawn.begin(), drawn.end(), [](const auto& a, const auto& b) { return a.frequency < b.frequency; });
    return drawn;
}

// The offset that fits the target to the measurement in the least-squares
// sense: the mean level difference over the measurement's tones that lie
// within the target's frequencies (the target taken between its points).
bool fittedOffset(const Measurement& target, const Measurement& measurement, double& offset, std::string& error) {
    const std::vector<ResponsePoint> curve = drawnSorted(target);
    double sum = 0.0;
    std::size_t count = 0;
    for (const ResponsePoint& p : drawnSorted(measurement)) {
        const std::optional<double> level = levelAt(curve, p.frequency);
        if (!level) continue;
        sum += p.magnitudeDb - *level;
        ++count;
    }
    if (count == 0) {
        error = target.path + ": the target has no point within the frequencies of " + measurement.path +
                ": give --target-offset DB";
        return false;
    }
    offset = sum / static_cast<double>(count);
    return true;
}

bool readTargets(const PlotRequest& request, const Measurement& first, std::vector<Curve>& curves, std::string& error) {
    for (const std::string& path : request.targets) {
        Measurement target;
        if (!readCurve(request, path, target, error)) return false;
        double offset = request.targetOffsetDb.value_or(0.0);
        if (!request.targetOffsetDb && !fittedOffset(target, first, offset, error)) return false;
        for (auto& p : target.points)
            if (p) p->magnitudeDb += offset;
        char label[80];
        std::snprintf(label, sizeof label, " (target, %+.2f dB)", offset);
        curves.push_back(Curve{fileName(path) + label, std::move(target.points), {}, {}, {}, true});
    }
    return true;
}

}  // namespace

std::string modificationTimeOf(const std::string& path) {
    std::error_code failure;
    const auto written = std::filesystem::last_write_time(path, failure);
    if (failure) return "at an unknown time";
    const std::time_t seconds =
        std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(written));
    const std::string text = platform::utcText(seconds, "%Y-%m-%d %H:%M:%S UTC");
    return text.empty() ? "at an unknown time" : text;
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
        if (!readCurve(request, request.measurements[i], m, error)) return false;
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
        if (request.prepare && !request.prepare(m, error)) return false;
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
    plot.groupDelay = request.groupDelay;
    std::vector<Curve> targets;
    if (!readTargets(request, measurements.front(), targets, error)) return false;
    for (Measurement& m : measurements) {
        if (!request.groupDelay) m.groupDelayMs.clear();
        if (!request.minPhase) m.minPhaseDeg.clear();
        plot.curves.push_back(Curve{fileName(m.path), std::move(m.points), std::move(m.quality), std::move(m.groupDelayMs),
                                    std::move(m.minPhaseDeg), false,
                                    request.minPhase ? m.minPhaseExtension : std::nullopt});
    }
    for (Curve& target : targets) plot.curves.push_back(std::move(target));
    files[0] = {result.plotPath, renderBodePlot(plot)};
    if (!writeAll(files, error)) return false;
    result.frdPaths.assign(outputs.begin() + 1, outputs.end());
    return true;
}

}  // namespace auralyn::plot
