#include "cli/analysis_plot.h"

#include "cli/tone_table.h"
#include "plot/bode_plot.h"
#include "plot/measurement.h"

namespace auralyn::cli {

std::string plotText(const AnalysisDocument& document) {
    // Going through the table keeps one reading of the columns: the plot of a
    // run is the plot of its CSV file.
    plot::Measurement measurement;
    measurement.path = document.recordedName;
    std::string ignored;
    plot::parseCsvMeasurement(toneTableCsv(analysisToneColumns(), document.analysis.tones), measurement, ignored);
    plot::BodePlot bode;
    bode.title = "Frequency response of \"" + document.recordedName + "\", " +
                 std::to_string(document.plan.params().sampleRate) + " Hz";
    bode.note = std::to_string(plot::drawnCount(measurement)) + " tones; magnitude relative to the full-scale test tone";
    if (document.status != "ok") bode.note += "; the measurement failed: " + document.status;
    bode.curves.push_back(plot::Curve{document.recordedName, std::move(measurement.points),
                                      std::move(measurement.quality)});
    return plot::renderBodePlot(bode);
}

}  // namespace auralyn::cli
