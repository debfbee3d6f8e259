#include "plot/tone_quality.h"

namespace auralyn::plot {

std::optional<double>* qualityField(ToneQuality& tone, std::string_view column) {
    if (column.size() > 5 && column.front() == 'h' && column.substr(column.size() - 4) == "_dbc") {
        const std::string_view order = column.substr(1, column.size() - 5);
        for (int k = 2; k <= 10; ++k)
            if (order == std::to_string(k)) return &tone.harmonicDbc[static_cast<std::size_t>(k - 2)];
        return nullptr;
    }
    if (column == "frequency_measured_hz") return &tone.frequencyMeasuredHz;
    if (column == "thd_db") return &tone.thdDb;
    if (column == "thd_percent") return &tone.thdPercent;
    if (column == "thdn_db") return &tone.thdnDb;
    if (column == "noise_floor_dbfs") return &tone.noiseFloorDbfs;
    if (column == "snr_db") return &tone.snrDb;
    if (column == "magnitude_u95_db") return &tone.magnitudeU95Db;
    if (column == "phase_u95_deg") return &tone.phaseU95Deg;
    return nullptr;
}

}  // namespace auralyn::plot
