#include "platform/console.h"

#include <termios.h>
#include <unistd.h>

namespace auralyn::platform {

bool standardInputIsTerminal() { return isatty(STDIN_FILENO) == 1; }

void discardTypedAhead() { tcflush(STDIN_FILENO, TCIFLUSH); }

}  // namespace auralyn::platform
