#include "cli/interrupt.h"

#include <csignal>

namespace verandol::cli {

namespace {

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void OnInterrupt(int) { interrupted.store(true); }

}  // namespace

const std::atomic<bool>& CatchInterrupt() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    return interrupted;
}

}  // namespace verandol::cli
