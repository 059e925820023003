#include "disk/extended_chain.h"

#include <algorithm>
#include <array>
#include <optional>

#include "ntfs/byte_reader.h"
#include "disk/mbr_layout.h"

namespace verandol {

namespace {

using Sector = std::array<std::uint8_t, mbr::kSectorSize>;

std::optional<Sector> ReadRecord(ByteSource& disk, std::int64_t position) {
    Sector sector{};
    if (disk.ReadAt(position, sector) != sector.size()) return std::nullopt;
    if (read_le16(sector, mbr::kSignatureOffset) != mbr::kSignature) return std::nullopt;
    return sector;
}

bool IsExtendedType(std::uint8_t type) { return type == 0x05 || type == 0x0F || type == 0x85; }

// The start (in sectors) of the entry's partition, relative to what the entry is in.
std::optional<std::uint32_t> ExtendedEntryStart(const Sector& sector, int entry) {
    const std::size_t at = mbr::kEntriesOffset + static_cast<std::size_t>(entry) * mbr::kEntrySize;
    auto type = read_le8(sector, at + mbr::kEntryType);
    auto start = read_le32(sector, at + mbr::kEntryStartLba);
    if (!type || !start || !IsExtendedType(*type) || *start == 0) return std::nullopt;
    return start;
}

}  // namespace

std::vector<std::int64_t> ExtendedRecordPositions(ByteSource& disk) {
    std::vector<std::int64_t> positions;
    auto master = ReadRecord(disk, 0);
    if (!master) return positions;
    std::optional<std::uint32_t> extended;
    for (int i = 0; i < mbr::kEntryCount && !extended; ++i) extended = ExtendedEntryStart(*master, i);
    if (!extended) return positions;

    // Links in later records count from the extended partition's start.
    const std::int64_t base = std::int64_t{*extended} * mbr::kSectorSize;
    std::int64_t next = base;
    while (static_cast<int>(positions.size()) < kMaxExtendedRecords && next < disk.Size()) {
        if (std::find(positions.begin(), positions.end(), next) != positions.end()) break;
        auto record = ReadRecord(disk, next);
        if (!record) break;
        positions.push_back(next);
        // The record's second entry links to the next one, if any.
        auto link = ExtendedEntryStart(*record, 1);
        if (!link) break;
        next = base + std::int64_t{*link} * mbr::kSectorSize;
    }
    return positions;
}

}  // namespace verandol
