#include "cli/plot_processing.h"

#ifdef AURALYN_HAVE_PROCESS
#include <cstdio>

#include "cli/process_options.h"
#include "response/processing.h"
#include "response/response_reader.h"

namespace auralyn::cli {
namespace {

using plot::Measurement;
using plot::ResponsePoint;

// The drawn tones of a measurement as a response, and where each came from.
response::Response responseOf(const Measurement& m, std::vector<std::size_t>& drawn) {
    response::Response r;
    if (m.sampleRate != 0) r.sampleRate = m.sampleRate;
    r.referenceChannel = m.referenceChannel;
    r.referenceDelay = m.referenceDelay;
    for (std::size_t i = 0; i < m.points.size(); ++i) {
        if (!m.points[i]) continue;
        response::Tone tone;
        tone.frequency = m.points[i]->frequency;
        tone.magnitude = response::fromDecibels(m.points[i]->magnitudeDb);
        tone.phase = response::toRadians(m.points[i]->phaseDegrees);
        r.tones.push_back(tone);
        drawn.push_back(i);
    }
    return r;
}

std::optional<double> column(const response::Response& r, std::size_t tone, const char* name) {
    for (std::size_t c = 0; c < r.extraColumns.size(); ++c)
        if (r.extraColumns[c] == name) return r.tones[tone].extra[c];
    return std::nullopt;
}

bool prepare(const response::ProcessOptions& options, const PlotProcessing& asked, Measurement& m, std::string& error) {
    std::vector<std::size_t> drawn;
    try {
        const response::Response before = responseOf(m, drawn);
        response::checkResponse(before, m.path);
        const response::Processed p = response::process(before, options);
        if (p.delayFound) std::printf("%s: %s\n", m.path.c_str(), delayLine(*p.delayFound, p.response.sampleRate).c_str());
        if (p.referenceRemoved) std::printf("%s: %s\n", m.path.c_str(), referenceDelayLine(*p.referenceRemoved, before).c_str());
        if (asked.groupDelay) m.groupDelayMs.assign(m.points.size(), std::nullopt);
        if (asked.minPhase) m.minPhaseDeg.assign(m.points.size(), std::nullopt);
        if (p.minimum) m.minPhaseExtension = plot::MagnitudeExtension{p.minimum->lowDbPerOctave, p.minimum->highDbPerOctave};
        for (std::size_t k = 0; k < drawn.size(); ++k) {
            const response::Tone& tone = p.response.tones[k];
            m.points[drawn[k]] = ResponsePoint{tone.frequency, tone.magnitudeDb(), tone.phaseDeg()};
            if (asked.groupDelay) m.groupDelayMs[drawn[k]] = column(p.response, k, "group_delay_ms");
            if (asked.minPhase) m.minPhaseDeg[drawn[k]] = column(p.response, k, "min_phase_deg");
        }
    } catch (const response::Error& e) {
        const std::string what = e.what();
        error = what.compare(0, m.path.size(), m.path) == 0 ? what : m.path + ": " + what;
        return false;
    }
    return true;
}

bool readFrequencyTable(const std::string& path, Measurement& m, std::string& error) {
    try {
        const response::Response r = response::readResponseFile(path).response;
        if (r.sampleRate) m.sampleRate = static_cast<std::uint32_t>(*r.sampleRate);
        m.referenceChannel = r.referenceChannel;
        m.referenceDelay = r.referenceDelay;
        for (const response::Tone& tone : r.tones)
            m.points.push_back(ResponsePoint{tone.frequency, tone.magnitudeDb(), tone.phaseDeg()});
    } catch (const response::Error& e) {
        error = e.what();
        return false;
    }
    return true;
}

}  // namespace

bool attachResponseProcessing(const PlotProcessing& processing, plot::PlotRequest& request, std::string& error) {
    request.readOther = readFrequencyTable;
    response::ProcessOptions options;
    try {
        options.smoothing = smoothingOption(processing.smooth, processing.smoothMode);
        delayOption(processing.delay, options);
    } catch (const UsageError& e) {
        error = e.message;
        return false;
    }
    options.minimumPhase = processing.minPhase;
    request.groupDelay = processing.groupDelay;
    request.minPhase = processing.minPhase;
    const bool needed = options.smoothing || options.delay != response::DelayChoice::keep || processing.groupDelay ||
                        processing.minPhase;
    if (!needed) return true;
    request.prepare = [options, processing](Measurement& m, std::string& failure) {
        return prepare(options, processing, m, failure);
    };
    return true;
}

}  // namespace auralyn::cli

#else

namespace auralyn::cli {

bool attachResponseProcessing(const PlotProcessing& processing, plot::PlotRequest&, std::string& error) {
    const bool asked = !processing.smooth.empty() || processing.smoothMode != "power" || !processing.delay.empty() ||
                       processing.groupDelay || processing.minPhase;
    if (asked) error = "--smooth, --delay, --group-delay and --min-phase are not available in this build (they need FFTW3)";
    return !asked;
}

}  // namespace auralyn::cli

#endif
