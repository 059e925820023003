// Ctrl+C during recovery.
#pragma once

#include <atomic>

namespace verandol::cli {

// Makes SIGINT set the returned flag instead of ending the process, so the
// recovery under way can remove its temporary file before the tool exits.
const std::atomic<bool>& CatchInterrupt();

}  // namespace verandol::cli
