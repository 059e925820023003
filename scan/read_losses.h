// What the device could not deliver to one pass, and what was lost with it:
// told once at the end of the pass, to the user and to scripts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ntfs/byte_source.h"

namespace verandol {

struct ReadLosses {
    std::string pass;                     // "scan", "deep scan", "search", "recovery"
    std::vector<UnreadRange> stretches;   // positions on the volume read, ascending
    std::vector<std::int64_t> records;    // MFT records lost with them, ascending
    std::string consequence;              // what else the pass could not do because of them
    bool Empty() const { return stretches.empty(); }
    std::int64_t Bytes() const;
};

// "40-49, 73": ascending numbers, runs joined.
std::string NumberRunsText(const std::vector<std::int64_t>& numbers);

// "0x1000-0x37FF (10 KiB)": a stretch in the positions' own hexadecimal.
std::string StretchText(const UnreadRange& stretch);

// The one line that tells a person what a pass lost: how much of the
// device could not be read and where, the records lost, and the rest.
std::string ReadLossNote(const ReadLosses& losses);

}  // namespace verandol
