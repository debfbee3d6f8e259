#pragma once

namespace auralyn::echoprobe {

// From now on the program ends with "Press <Enter> to end the program." and
// waits for Enter (or the end of input), so a console window stays open long
// enough to read the last lines.
void registerExitPrompt();

// The prompt itself: prints it, drops input typed ahead at a terminal and
// waits for one character.
void waitForEnter();

}  // namespace auralyn::echoprobe
