// The partitions of a disk, as the system's probing library reads its MBR
// (primary, extended and logical entries) or GPT.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ntfs/outcome.h"

namespace verandol {

struct PartitionEntry {
    int number = 0;           // as the system numbers it: MBR logical partitions from 5
    std::int64_t start = 0;   // bytes from the disk's start
    std::int64_t length = 0;  // bytes, as the table claims them
    bool extended = false;    // an MBR extended partition: a container, not a volume
};

struct PartitionTable {
    std::string type;  // "dos" or "gpt"
    std::vector<PartitionEntry> partitions;  // in the table's order
};

// Reads the table of the disk or image at `path`, opened read-only. A disk
// without a table (a bare volume, an empty disk) is refused.
Outcome<PartitionTable> ReadPartitionTable(const std::string& path);

}  // namespace verandol
