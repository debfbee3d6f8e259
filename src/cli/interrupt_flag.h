#pragma once

// Ctrl-C as a request to stop rather than an instant death: while an
// InterruptScope lives, SIGINT only sets a flag that the work in progress
// polls (a play-and-record session stops at once and closes its devices), so
// the command can still tidy up its files. The previous handler comes back
// when the scope ends.
#include <atomic>

#include "platform/non_copyable.h"

namespace auralyn::cli {

class InterruptScope : platform::NonCopyable {
public:
    InterruptScope();
    ~InterruptScope();

    // The flag the handler sets; valid for the program's lifetime.
    const std::atomic<bool>& flag() const;
    bool interrupted() const { return flag().load(); }
};

// The conventional status of a program stopped by SIGINT (128 + 2).
inline constexpr int kExitInterrupted = 130;

}  // namespace auralyn::cli
