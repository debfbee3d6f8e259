#pragma once

namespace auralyn {

// Throws away what was typed at the terminal and not read yet.
void discardTypedAhead();

}  // namespace auralyn
