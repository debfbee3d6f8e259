#include "simulation/sample_output.h"

#include "platform/staged_file.h"
#include "sweep/sweep_plan.h"

namespace auralyn::simulation {

std::int16_t SampleQuantizer::toSample(double value) {
    const double rounded = sweep::roundHalfAway(value);
    if (rounded > 32767.0) {
        ++clipped_;
        return 32767;
    }
    if (rounded < -32768.0) {
        ++clipped_;
        return -32768;
    }
    if (rounded != rounded) {  // not a number: only a broken filter makes one; count it as clipped silence
        ++clipped_;
        return 0;
    }
    return static_cast<std::int16_t>(rounded);
}

bool writeStagedWave(const std::string& outputPath, std::uint32_t rate, std::int16_t channels,
                     const std::function<bool(wave::WaveFile&)>& writeSamples, std::string& error) {
    platform::StagedFile staged(outputPath);
    wave::WaveFile out;
    if (!out.openWrite(staged.writePath().c_str())) {
        error = outputPath + ": cannot be written in its folder";
        return false;
    }
    out.setFormat(rate, 16, channels);
    bool written = writeSamples(out);
    if (!out.close() && written) {
        error = outputPath + ": the output could not be completed (" + (out.message ? out.message : "unknown error") +
                ")";
        written = false;
    }
    if (!written) return false;  // the staged file removes what was written
    std::string reason;
    if (staged.commit(reason)) return true;
    error = outputPath + ": cannot be written (" + reason + ")";
    return false;
}

}  // namespace auralyn::simulation
