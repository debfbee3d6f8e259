#pragma once

namespace auralyn::platform {

// True when standard input is an interactive terminal (a console on Windows)
// rather than a file or a pipe.
bool standardInputIsTerminal();

// Throws away what was typed at the terminal and not read yet.
void discardTypedAhead();

}  // namespace auralyn::platform
