// What the tool's exit status tells a script, and the one stderr line that
// goes with a failure.
#pragma once

#include <string>

namespace verandol::cli {

inline constexpr int kExitDone = 0;
inline constexpr int kExitSomeNotRecovered = 1;
inline constexpr int kExitUsage = 2;  // also: the volume could not be scanned
// The device could not be read in places: the listing or the recovered
// files lack what those places held (told in a note on stderr).
inline constexpr int kExitUnreadable = 3;
inline constexpr int kExitInterrupted = 130;  // the shell's own code for SIGINT

// Writes "verandol-cli: <why>" to stderr and returns `status`.
int Fail(int status, const std::string& why);

}  // namespace verandol::cli
