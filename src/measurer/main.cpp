#include "measurer/measurer_driver.h"
#include "platform/command_line.h"

namespace {

constexpr const char* kUsage =
    "Usage: echoprobe [--help | --version]\n"
    "Measures the frequency response in a recording of a sweep made by tonesmith.\n"
    "Asks on the console for the recorded WAV file, the sweep parameter file (.swp)\n"
    "and the text file for the report, then writes one line per tone: frequency,\n"
    "amplitude, amplitude relative to the mean (also in dB) and phase in degrees.\n";

}  // namespace

int main(int argc, char** argv) {
    const int early = auralyn::platform::handleCommandLine(argc, argv, "echoprobe", kUsage);
    if (early >= 0) return early;
    return auralyn::runEchoprobe();
}
