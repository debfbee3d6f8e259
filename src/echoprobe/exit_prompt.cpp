#include "echoprobe/exit_prompt.h"

#include <cstdio>
#include <cstdlib>

#include "platform/console.h"

namespace auralyn::echoprobe {
namespace {

void runExitPrompt() { waitForEnter(); }

}  // namespace

void waitForEnter() {
    std::printf("\nPress <Enter> to end the program.\n");
    std::fflush(stdout);
    // Keys typed at a terminal during the analysis would otherwise answer at
    // once; piped input is a deliberate answer and is kept.
    if (platform::standardInputIsTerminal()) platform::discardTypedAhead();
    std::getchar();
}

void registerExitPrompt() { std::atexit(runExitPrompt); }

}  // namespace auralyn::echoprobe
