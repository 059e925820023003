// A file record met anywhere on a volume, checked before it is believed.
//
// Reading every sector turns up records of the present MFT, of MFTs of
// volumes formatted over since, and copies left in free space. Only a record
// whose header is consistent with itself and whose update sequence checks
// out is taken; its own header says how large it is and which number it has.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "ntfs/byte_reader.h"

namespace verandol {

// The largest record or index block NTFS writes.
inline constexpr std::size_t kMaxFoundBlockBytes = 64 * 1024;

struct FoundRecordHeader {
    std::uint32_t record_size = 0;   // bytes allocated to the record
    std::uint32_t number = 0;        // the record's number in its MFT
    std::uint16_t sequence = 0;
    std::uint64_t log_sequence = 0;  // $LogFile sequence number of its last change
    std::uint16_t flags = 0;
};

// How many bytes a record beginning at the start of `bytes` claims, or
// nullopt when the first bytes cannot begin one. Looks at the header only.
std::optional<std::size_t> FoundRecordSize(ByteSpan bytes);

// Checks the record at the start of `bytes` (at least FoundRecordSize bytes):
// "FILE", a power-of-two size from 512 bytes to 64 KiB with one update
// sequence entry per 512 bytes, an array and a first attribute inside the
// record, and every stride end restored. On success `record` holds the
// record with its fixups applied.
std::optional<FoundRecordHeader> TakeFoundRecord(ByteSpan bytes, std::vector<std::uint8_t>& record);

}  // namespace verandol
