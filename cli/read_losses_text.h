// How the command line tells what a pass could not read from the device:
// the note on stderr, and the lines in the listing for scripts.
#pragma once

#include <string>
#include <vector>

#include "scan/read_losses.h"

namespace verandol::cli {

// {"unreadable":{"pass":"scan","bytes":N,"stretches":[{"position":P,"length":L},...],"records":[...]}}
std::string JsonReadLosses(const ReadLosses& losses);
// "# Unreadable: ..." and, when records were lost, "# Unreadable Records: 40-49".
std::vector<std::string> TsvReadLosses(const ReadLosses& losses);

// Takes "--retries N" (or "--retries=N") wherever it stands in `args` and
// sets how often a failing sector is tried again in this run; an error
// text for a value that is not a whole number from 0 to 100.
std::string TakeRetriesOption(std::vector<std::string>& args);

}  // namespace verandol::cli
