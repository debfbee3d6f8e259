#include "platform/console.h"

#include <unistd.h>

namespace auralyn::platform {

bool standardInputIsTerminal() { return isatty(STDIN_FILENO) == 1; }

}  // namespace auralyn::platform
