#include "echoprobe/measurer_driver.h"
#include "platform/command_line.h"

namespace {

constexpr const char* kUsage =
    "Usage: echoprobe [--help | --version]\n"
    "Measures the frequency response in a recording of a sweep made by tonesmith.\n"
    "Asks on the console (on Windows with a console: in the standard open and save\n"
    "dialogs) for the recorded WAV file, the sweep parameter file (.swp) and the text\n"
    "file for the report (an empty answer takes the proposal in brackets), then writes\n"
    "one line per tone: frequency, amplitude, amplitude relative to the mean (also in\n"
    "dB) and phase in degrees, and waits for Enter. The answers may be piped:\n"
    "  printf 'take1.wav\\nsweep.swp\\n\\n\\n' | echoprobe\n"
    "\n"
    "Exit status: 0 when the report was written or a file question was cancelled (end\n"
    "of input); 1 when the recording could not be measured; 2 for a wrong argument.\n";

}  // namespace

int main(int argc, char** argv) {
    const int early = auralyn::platform::handleCommandLine(argc, argv, "echoprobe", kUsage);
    if (early >= 0) return early;
    return auralyn::echoprobe::runEchoprobe();
}
