// The few fields of an MBR or extended boot record that are followed to find
// the chain of extended records.
#pragma once

#include <cstddef>
#include <cstdint>

namespace verandol::mbr {

inline constexpr std::size_t kSectorSize = 512;
inline constexpr std::size_t kEntriesOffset = 0x1BE;  // four 16-byte partition entries
inline constexpr std::size_t kEntrySize = 16;
inline constexpr int kEntryCount = 4;
inline constexpr std::size_t kEntryType = 4;       // 1 byte
inline constexpr std::size_t kEntryStartLba = 8;   // 4 bytes, in sectors
inline constexpr std::size_t kSignatureOffset = 0x1FE;
inline constexpr std::uint16_t kSignature = 0xAA55;  // bytes 55 AA

static_assert(kEntriesOffset + kEntryCount * kEntrySize == kSignatureOffset);
static_assert(kSignatureOffset + 2 == kSectorSize);

}  // namespace verandol::mbr
