// Builds MFT file records and boot sectors byte by byte for tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace verandol::testing {

using Bytes = std::vector<std::uint8_t>;

void PutLe(Bytes& b, std::size_t offset, std::uint64_t value, std::size_t width);

// An attribute: header, then the value or run list, padded to 8 bytes.
Bytes StandardInformation(std::uint64_t created, std::uint64_t modified);
// `parent` is the folder's file reference (record in the low 48 bits,
// sequence number in the high 16); the root, record 5, by default.
Bytes FileName(const std::u16string& name, std::uint8_t name_space, std::uint64_t parent = 5);
Bytes ResidentData(const Bytes& value);
Bytes NonResidentData(const Bytes& run_list, std::int64_t real_size, std::int64_t first_vcn = 0,
                      std::int64_t last_vcn = 0, std::uint16_t flags = 0);

// A record of `size` bytes holding the attributes and an end marker, with
// flags and an update sequence protecting every 512 bytes (sector ends
// carrying `usn`, the saved bytes being the ones that were there).
Bytes Record(const std::vector<Bytes>& attributes, std::uint16_t flags = 0, std::size_t size = 1024,
             std::uint16_t usn = 0x0001);

struct BootFields {
    std::uint16_t bytes_per_sector = 512;
    std::uint8_t sectors_per_cluster = 8;
    std::int64_t total_sectors = 2048;
    std::int64_t mft_cluster = 4;
    std::uint32_t clusters_per_record = 0xF6;  // 1024-byte records
    std::uint64_t serial = 0x1234567890ABCDEF;
};
Bytes BootSector(const BootFields& fields);

}  // namespace verandol::testing

namespace verandol::testing {

// A small volume in memory: 4 KiB clusters, 1 KiB records, the MFT at
// cluster 4 in one extent holding records 0 to 15 (only record 0 is valid)
// and then `user_records` from record 16 on. The volume is `total_clusters`
// long; tests put file data in the clusters past the MFT.
struct CraftedVolume {
    Bytes bytes;
    static constexpr std::int64_t kClusterSize = 4096;
    static constexpr std::int64_t kMftOffset = 4 * kClusterSize;
    static std::int64_t RecordPosition(std::int64_t index) { return kMftOffset + index * 1024; }
    // First cluster after the MFT.
    std::int64_t first_free_cluster = 0;
};
CraftedVolume CraftVolume(const std::vector<Bytes>& user_records, std::int64_t total_clusters = 64);

// One run list entry, encoded with the fewest bytes for each field.
Bytes RunListEntry(std::uint64_t clusters, std::int64_t delta);

}  // namespace verandol::testing
