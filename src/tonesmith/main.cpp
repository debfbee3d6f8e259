#include "tonesmith/tonesmith_driver.h"
#include "platform/command_line.h"

int main(int argc, char** argv) {
    const int handled = auralyn::platform::handleCommandLine(argc, argv, "tonesmith", auralyn::tonesmith::kTonesmithUsage);
    if (handled >= 0) return handled;
    return auralyn::tonesmith::runTonesmith();
}
