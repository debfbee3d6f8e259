#pragma once

namespace auralyn::platform {

// True when standard input is an interactive terminal (a console on Windows)
// rather than a file or a pipe.
bool standardInputIsTerminal();

}  // namespace auralyn::platform
