#pragma once

#include <string>
#include <vector>

namespace auralyn::recording {

// How a deeper capture is kept on disk.
enum class WrittenEncoding { pcm24, float32 };

// Writes interleaved samples (full scale at `fullScale`) as a WAV file of
// 24-bit PCM, each sample rounded to its nearest code and clipped to the
// range, or of 32-bit float as they are. False with the reason, which does
// not name the file.
bool writeRecordingFile(const std::string& path, const std::vector<float>& frames, int channels, int rate,
                        WrittenEncoding encoding, double fullScale, std::string& error);

}  // namespace auralyn::recording
