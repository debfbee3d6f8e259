#include "cli/playback_level.h"

#include <cmath>
#include <cstdio>

#include "sweep/sweep_plan.h"

namespace auralyn::cli {

std::vector<std::int16_t> attenuatedSamples(const std::vector<std::int16_t>& samples, double levelDbfs) {
    const double gain = std::pow(10.0, levelDbfs / 20.0);
    std::vector<std::int16_t> out(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        out[i] = static_cast<std::int16_t>(sweep::roundHalfAway(static_cast<double>(samples[i]) * gain));
    }
    return out;
}

bool writeAttenuatedParameters(const std::string& from, const std::string& to, double levelDbfs, std::string& error) {
    sweep::SweepPlan plan;
    std::FILE* in = std::fopen(from.c_str(), "rb");
    const bool read = in != nullptr && plan.readParameters(in);
    if (in != nullptr) std::fclose(in);
    if (!read) {
        error = from + ": not a list of sweep parameters";
        return false;
    }
    // A loaded record is locked against the setters: change an unlocked copy,
    // then write it with the lock it was read with.
    const double gain = std::pow(10.0, levelDbfs / 20.0);
    sweep::SweepParameters record = plan.params();
    const bool locked = record.locked;
    record.locked = false;
    sweep::SweepPlan changed(record);
    changed.setSyncPulseLevel(record.syncPulseLevel * gain);
    changed.setSyncThreshold(record.syncThreshold * gain);
    record = changed.params();
    record.locked = locked;
    std::FILE* out = std::fopen(to.c_str(), "wb");
    const bool written = out != nullptr && sweep::SweepPlan(record).writeParameters(out);
    if (out != nullptr && std::fclose(out) != 0) {
        error = to + ": could not be written";
        return false;
    }
    if (!written) error = to + ": could not be written";
    return written;
}

std::optional<double> levelForDrive(double driveVolts, double voltsAtFullScale, std::string& error) {
    const double level = 20.0 * std::log10(driveVolts / voltsAtFullScale);
    if (level <= 0.0) return level;
    char text[200];
    std::snprintf(text, sizeof text, "--drive-volts %.6g V lies %.2f dB above the output's full scale (%.6g V RMS)",
                  driveVolts, level, voltsAtFullScale);
    error = text;
    return std::nullopt;
}

}  // namespace auralyn::cli
