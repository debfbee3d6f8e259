#include "cli/recording_channel.h"

#include "cli/diagnostics.h"
#include "recording/recording_file.h"

namespace auralyn::cli {

std::optional<RecordingChannel> readRecordingChannel(const std::string& path, int channel) {
    try {
        recording::Recording<double> file = recording::readRecording(path);
        if (channel < 1 || channel > file.format.channels) {
            printDiagnostic(path + ": has " + std::to_string(file.format.channels) + " channel(s); --channel " +
                            std::to_string(channel) + " is not one of them");
            return std::nullopt;
        }
        return RecordingChannel{file.format, std::move(file.channels[static_cast<std::size_t>(channel - 1)])};
    } catch (const recording::RecordingError& error) {
        printDiagnostic(error.what());
        return std::nullopt;
    }
}

}  // namespace auralyn::cli
