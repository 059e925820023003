// File records found anywhere on a volume, grouped into the MFTs they came
// from, and the geometry each record's data is read with.
//
// A record's MFT begins at its position minus its number times its size:
// records sharing that base and size are one MFT. A mapped volume's MFT
// (the present one, or one whose boot sector the pass met) is the group at
// its boot sector's MFT position, joined by every record its map places
// elsewhere (the later pieces of a grown MFT).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "deep/cluster_size_evidence.h"
#include "deep/found_record.h"
#include "disk/found_geometry.h"
#include "ntfs/cluster_bitmap.h"
#include "ntfs/geometry.h"
#include "ntfs/run_list.h"
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
    // The mapped volume whose MFT this is (an index for Volume()).
    std::optional<std::size_t> volume;
    ClusterSizeVotes votes;
    // Where its volume's cluster 0 lies, once its record 0 ($MFT) told.
    std::optional<std::int64_t> origin;
    // What record 0 said, held until the group shows a record past the
    // four that $MFTMirr copies: a mirror's record 0 describes the MFT it
    // mirrors, so taken at its word it would place the origin, and the MFT's
    // pieces, by the mirror's position.
    struct RecordZero {
        std::int64_t start = 0;  // byte offset of the MFT's first cluster from its volume's cluster 0
        std::int64_t cluster_size = 0;
        std::vector<Run> runs;
    };
    std::optional<RecordZero> record_zero;
    // Where record 6 ($Bitmap) of this MFT says its volume's cluster
    // bitmap lies: what judges the group's files when no volume around it
    // has a bitmap that does.
    std::optional<BitmapExtent> own_bitmap;
    FolderPaths folders;
    // Set once the group turned out to be a later piece of another group's
    // MFT (that MFT's record 0 placed it): the group it was joined into.
    std::size_t joined_into = SIZE_MAX;
};

class RecordGroups {
public:
    // `present` is the volume the boot sector describes, with its MFT's
    // byte position; `others` what a search found.
    RecordGroups(std::optional<KnownVolume> present, std::int64_t present_mft_offset,
                 std::vector<KnownVolume> others);

    // A volume whose boot sector and MFT the pass met: its MFT (at byte
    // `mft_offset` of the scanned device) becomes a group with the volume's
    // geometry and origin. Returns that group.
    std::size_t AddMapped(const KnownVolume& volume, std::int64_t mft_offset);
    // The group of the present MFT, when there is a present volume.
    static constexpr std::size_t kPresentGroup = 0;

    // The group of a record found at `position`. `mapped_group`, when set,
    // is the group of the mapped MFT whose map holds this record number there.
    std::size_t GroupOf(std::int64_t position, const FoundRecordHeader& header,
                        std::optional<std::size_t> mapped_group);
    RecordGroup& Group(std::size_t index) { return groups_[index]; }
    // The group `index` was joined into, or `index` when it stands alone.
    std::size_t Representative(std::size_t index) const;
    // Whether a group, or a piece its record 0 placed, has its base at `base`.
    bool HasGroupAt(std::int64_t base, std::uint32_t record_size) const {
        return by_base_.count({base, record_size}) != 0;
    }
    std::size_t Count() const { return groups_.size(); }
    // Where the innermost known volume holding `position` begins (the
    // present one, one found by a search or met on the way), or -1 when
    // none does: record numbers and names are looked up within it.
    std::int64_t VolumeAt(std::int64_t position) const;

    // Learns from a record of the group: its cluster size evidence, where
    // its record 6 keeps the cluster bitmap, and the origin its record 0 gives. Record 0's run list is its MFT's map: the
    // records found where a later run places them, with the numbers that
    // run holds, join this group, so paths resolve across the pieces.
    void Learn(std::size_t group, const FoundRecordHeader& header, ByteSpan record);

    // The geometry to read a record's data with: the cluster size its own
    // attributes imply; else the present volume's when the record is of the
    // present MFT; else that of a known volume holding the group's MFT; else
    // the one most of the group's records imply; else the present volume's.
    // Nullopt when nothing tells. Placed only when a boot sector, the MFT's
    // record 0 or a volume around the group says where its volume begins.
    std::optional<FoundGeometry> GeometryFor(std::size_t group, const FoundRecordHeader& header,
                                             std::optional<std::uint32_t> own_cluster_size) const;

private:
    const KnownVolume* VolumeHolding(std::int64_t position) const;
    std::size_t MapVolume(const KnownVolume& volume, std::int64_t mft_offset);
    void JoinPieces(std::size_t group, const std::vector<Run>& runs, std::int64_t cluster_size);

    std::optional<KnownVolume> present_;
    std::vector<KnownVolume> mapped_;  // the present volume first, when there is one
    std::vector<KnownVolume> others_;
    std::vector<RecordGroup> groups_;
    std::map<std::pair<std::int64_t, std::uint32_t>, std::size_t> by_base_;
    std::size_t last_ = SIZE_MAX;
};

}  // namespace verandol
