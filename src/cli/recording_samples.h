#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/sample.h"
#include "wave/wave_file.h"

namespace auralyn::cli {

// Reads the whole data chunk of a 16-bit recording opened for reading, from
// its first frame, and splits its channels: channels[c] holds channel c + 1,
// as the measuring library takes samples.
// Reads no more than the file holds, whatever its header claims; a data chunk
// cut inside a frame keeps its whole frames. False (with the reason) when the
// samples cannot be read.
bool readAllChannels(wave::WaveFile& recording, std::vector<std::vector<analysis::Sample>>& channels,
                     std::string& error);

}  // namespace auralyn::cli
