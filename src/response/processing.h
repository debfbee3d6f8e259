#pragma once

#include <optional>

#include "response/delay.h"
#include "response/minimum_phase.h"
#include "response/response.h"
#include "response/smoothing.h"

namespace auralyn::response {

enum class DelayChoice { keep, automatic, given, reference };

// What `auralyn process` (and the plot) do to one response, in this order:
// the delay is found on the response as measured and taken out; then the
// smoothing (so that complex smoothing averages a phase free of the time of
// flight); then the group delay and, if asked, the minimum and excess phase
// of what results; last the resampling onto a log grid, which takes every
// column with it.
struct ProcessOptions {
    std::optional<Smoothing> smoothing;
    DelayChoice delay = DelayChoice::keep;
    double delaySeconds = 0.0;  // for DelayChoice::given
    bool minimumPhase = false;
    Extension extension;
    std::optional<int> pointsPerOctave;
};

struct Processed {
    // Carries the derived columns as extra columns: group_delay_ms, and with
    // the minimum phase min_phase_deg, excess_phase_deg (continuous) and
    // excess_group_delay_ms.
    Response response;
    std::optional<DelayEstimate> delayFound;
    std::optional<double> referenceRemoved;  // seconds, with DelayChoice::reference
    std::optional<MinimumPhase> minimum;  // its slopes; its phases are in the columns
};

Processed process(Response response, const ProcessOptions& options);

// Whether a column holds a phase in degrees that follows the choice of
// wrapped or continuous output.
bool isPhaseColumn(const std::string& name);

}  // namespace auralyn::response
