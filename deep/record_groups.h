// File records found anywhere on a volume, grouped into the MFTs they came
// from, and the geometry each record's data is read with.
//
// A record's MFT begins at its position minus its number times its size:
// records sharing that base and size are one MFT. The present MFT is the
// group at the boot sector's MFT position, joined by every record its map
// places elsewhere (the later pieces of a grown MFT).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "deep/cluster_size_evidence.h"
#include "deep/found_record.h"
#include "disk/found_geometry.h"
#include "ntfs/geometry.h"
#include "scan/folder_paths.h"

namespace verandol {

// A volume known to lie on the scanned device: the present one, or one a
// search for lost volumes found.
struct KnownVolume {
    std::int64_t offset = 0;
    std::int64_t size = 0;
    VolumeGeometry geometry;
};

struct RecordGroup {
    std::int64_t base = 0;
    std::uint32_t record_size = 0;
    bool present = false;  // the MFT the boot sector names now
    ClusterSizeVotes votes;
    // Where its volume's cluster 0 lies, once its record 0 ($MFT) told.
    std::optional<std::int64_t> origin;
    FolderPaths folders;
};

class RecordGroups {
public:
    // `present` is the volume the boot sector describes, with its MFT's
    // byte position; `others` what a search found.
    RecordGroups(std::optional<KnownVolume> present, std::int64_t present_mft_offset,
                 std::vector<KnownVolume> others);

    // The group of a record found at `position`. `in_present_map` says the
    // present MFT's map holds this record number there.
    std::size_t GroupOf(std::int64_t position, const FoundRecordHeader& header, bool in_present_map);
    RecordGroup& Group(std::size_t index) { return groups_[index]; }
    std::size_t Count() const { return groups_.size(); }

    // Learns from a record of the group: its cluster size evidence, and the
    // origin its record 0 gives.
    void Learn(std::size_t group, const FoundRecordHeader& header, ByteSpan record);

    // The geometry to read a record's data with: the cluster size its own
    // attributes imply; else the present volume's when the record is of the
    // present MFT; else that of a known volume holding the group's MFT; else
    // the one most of the group's records imply; else the present volume's.
    // Nullopt when nothing tells.
    std::optional<FoundGeometry> GeometryFor(std::size_t group, const FoundRecordHeader& header,
                                             std::optional<std::uint32_t> own_cluster_size) const;

private:
    const KnownVolume* VolumeHolding(std::int64_t position) const;

    std::optional<KnownVolume> present_;
    std::vector<KnownVolume> others_;
    std::vector<RecordGroup> groups_;
    std::map<std::pair<std::int64_t, std::uint32_t>, std::size_t> by_base_;
    std::size_t last_ = SIZE_MAX;
};

}  // namespace verandol
