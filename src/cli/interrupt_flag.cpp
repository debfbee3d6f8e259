#include "cli/interrupt_flag.h"

#include <csignal>

namespace auralyn::cli {
namespace {

// A lock-free atomic is what a signal handler may touch.
std::atomic<bool> interruptRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

using Handler = void (*)(int);
Handler previousHandler = SIG_DFL;

extern "C" void onInterrupt(int) { interruptRequested.store(true); }

}  // namespace

InterruptScope::InterruptScope() {
    interruptRequested.store(false);
    previousHandler = std::signal(SIGINT, onInterrupt);
    if (previousHandler == SIG_ERR) previousHandler = SIG_DFL;
}

InterruptScope::~InterruptScope() { std::signal(SIGINT, previousHandler); }

const std::atomic<bool>& InterruptScope::flag() const { return interruptRequested; }

}  // namespace auralyn::cli
