#include "cli/calibration_columns.h"

#include <cmath>

namespace auralyn::cli {
namespace {

using calibration::CalibratedTone;
using Getter = std::function<std::optional<double>(const CalibratedTone&)>;

constexpr double kFullScale = 32767.0;

std::optional<double> qualityU95(const analysis::ToneMeasurement& tone) {
    if (!tone.quality) return std::nullopt;
    return tone.quality->magnitudeU95Db;
}

ToneColumn calibratedColumn(const char* name, std::shared_ptr<const CalibratedTones> table, Getter get) {
    return {name, [table, get](const analysis::ToneMeasurement& tone) -> std::optional<double> {
                const CalibratedTone* calibrated = table->of(tone);
                return calibrated ? get(*calibrated) : std::nullopt;
            }};
}

nlohmann::ordered_json componentsJson(const CalibratedTone* tone) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    if (tone == nullptr) return list;
    for (const auto& component : tone->components) {
        list.push_back({{"name", component.name},
                        {"standard_db", component.standardDb},
                        {"distribution", component.distribution == calibration::Distribution::normal ? "normal"
                                                                                                       : "rectangular"}});
    }
    return list;
}

// A column's value moved by what the calibration says about the tone.
void adjust(ToneColumn& column, std::shared_ptr<const CalibratedTones> table,
            std::function<std::optional<double>(double, const CalibratedTone&)> change) {
    column.value = [table, change, old = column.value](const analysis::ToneMeasurement& tone) -> std::optional<double> {
        const std::optional<double> value = old(tone);
        const CalibratedTone* calibrated = table->of(tone);
        if (!value || calibrated == nullptr) return value;
        return change(*value, *calibrated);
    };
}

}  // namespace

std::optional<double> recordedDbfs(const analysis::ToneMeasurement& tone) {
    if (!(tone.amplitude > 0.0)) return std::nullopt;
    return 20.0 * std::log10(tone.amplitude / kFullScale);
}

CalibratedTones::CalibratedTones(const LoadedCalibration& loaded, const std::vector<analysis::ToneMeasurement>& tones)
    : playbackLevelDb_(loaded.playbackLevelDb) {
    for (const analysis::ToneMeasurement& tone : tones) {
        calibration::ToneLevels levels;
        levels.frequencyHz = tone.frequency;
        levels.recordedDbfs = recordedDbfs(tone);
        levels.playedDbfs = loaded.playbackLevelDb;
        levels.measurementU95Db = qualityU95(tone);
        CalibratedTone calibrated = calibration::calibrateTone(loaded.chain, levels);
        if (calibrated.calibrated == false) ++outside_;
        tones_.emplace(&tone, std::move(calibrated));
    }
}

const CalibratedTone* CalibratedTones::of(const analysis::ToneMeasurement& tone) const {
    const auto found = tones_.find(&tone);
    return found == tones_.end() ? nullptr : &found->second;
}

std::vector<ToneColumn> calibratedColumns(std::vector<ToneColumn> columns,
                                          std::shared_ptr<const CalibratedTones> table) {
    const double level = table->playbackLevelDb();
    for (ToneColumn& column : columns) {
        if (column.name == "magnitude_db") {
            adjust(column, table, [level](double db, const CalibratedTone& t) { return db - level - t.micCalDb.value_or(0.0); });
        } else if (column.name == "phase_deg") {
            adjust(column, table, [](double deg, const CalibratedTone& t) { return deg - t.micCalPhaseDeg.value_or(0.0); });
        } else if (column.name == "magnitude_u95_db") {
            adjust(column, table, [](double u95, const CalibratedTone& t) { return t.u95Db.value_or(u95); });
        }
    }
    columns.push_back(calibratedColumn("spl_db", table, [](const CalibratedTone& t) { return t.splDb; }));
    columns.push_back(calibratedColumn("dbv", table, [](const CalibratedTone& t) { return t.dbv; }));
    columns.push_back(calibratedColumn("gain_db", table, [](const CalibratedTone& t) { return t.gainDb; }));
    ToneColumn calibrated = calibratedColumn("calibrated", table, [](const CalibratedTone& t) -> std::optional<double> {
        if (!t.calibrated) return std::nullopt;
        return *t.calibrated ? 1.0 : 0.0;
    });
    calibrated.boolean = true;
    columns.push_back(std::move(calibrated));
    columns.push_back(calibratedColumn("mic_cal_db", table, [](const CalibratedTone& t) { return t.micCalDb; }));
    ToneColumn components{"u95_components", [](const analysis::ToneMeasurement&) -> std::optional<double> { return std::nullopt; }};
    components.json = [table](const analysis::ToneMeasurement& tone) { return componentsJson(table->of(tone)); };
    columns.push_back(std::move(components));
    return columns;
}

}  // namespace auralyn::cli
