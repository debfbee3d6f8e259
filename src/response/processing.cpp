#include "response/processing.h"

#include "response/interpolation.h"
#include "response/phase.h"

namespace auralyn::response {
namespace {

void addColumn(Response& response, const std::string& name, const std::vector<double>& values) {
    response.extraColumns.push_back(name);
    for (std::size_t i = 0; i < response.tones.size(); ++i) response.tones[i].extra.push_back(values[i]);
}

std::vector<double> scaled(std::vector<double> values, double factor) {
    for (double& value : values) value *= factor;
    return values;
}

}  // namespace

Processed process(Response response, const ProcessOptions& options) {
    Processed out;
    if (options.delay == DelayChoice::automatic) {
        out.delayFound = findDelay(response, options.extension);
        response = removeDelay(std::move(response), out.delayFound->seconds);
    } else if (options.delay == DelayChoice::given) {
        response = removeDelay(std::move(response), options.delaySeconds);
    } else if (options.delay == DelayChoice::reference) {
        out.referenceRemoved = referenceDelay(response);
        response = removeDelay(std::move(response), *out.referenceRemoved);
        // What is left of the reference's delay in the phase: none.
        if (response.referenceDelay) response.referenceDelay = 0.0;
    }
    if (options.smoothing) response = smooth(response, *options.smoothing);

    const std::vector<double> f = frequencies(response);
    addColumn(response, "group_delay_ms", scaled(groupDelay(response), 1000.0));
    if (options.minimumPhase) {
        out.minimum = minimumPhase(response, options.extension);
        const std::vector<double> excess = excessPhase(response, *out.minimum);
        addColumn(response, "min_phase_deg", scaled(out.minimum->phase, toDegrees(1.0)));
        addColumn(response, "excess_phase_deg", scaled(excess, toDegrees(1.0)));
        addColumn(response, "excess_group_delay_ms", scaled(groupDelay(f, excess), 1000.0));
        out.minimum->phase.clear();
    }
    if (options.pointsPerOctave) response = resampleOnLogGrid(response, *options.pointsPerOctave);
    out.response = std::move(response);
    return out;
}

bool isPhaseColumn(const std::string& name) { return name == "min_phase_deg" || name == "excess_phase_deg"; }

}  // namespace auralyn::response
