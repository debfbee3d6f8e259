#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace auralyn::cli {

// The sweep's samples at a playback level below full scale (0 dBFS: as
// made), each rounded half away from zero.
std::vector<std::int16_t> attenuatedSamples(const std::vector<std::int16_t>& samples, double levelDbfs);

// A copy of a sweep parameter file whose sync pulse level and threshold are
// lowered with the sweep, so that the analysis looks for the pulse as it was
// played. False with the reason.
bool writeAttenuatedParameters(const std::string& from, const std::string& to, double levelDbfs, std::string& error);

// The level that plays a full-scale tone at driveVolts on an output whose full
// scale is voltsAtFullScale; nothing (reason in `error`) above full scale.
std::optional<double> levelForDrive(double driveVolts, double voltsAtFullScale, std::string& error);

}  // namespace auralyn::cli
