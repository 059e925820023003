#include "fuzz/run_list_entry.h"

#include <vector>

#include "fuzz/fuzz_check.h"
#include "ntfs/cluster_map.h"
#include "ntfs/run_list.h"
#include "scan/mft_record_reader.h"

namespace verandol::fuzz {

void FuzzRunList(ByteSpan input) {
    if (input.empty()) return;
    const DecodedRunList list = DecodeRunList(input.subspan(1));
    std::int64_t lcn = 0;
    for (const Run& run : list.runs) {
        // A sparse run moves nothing, so the next offset is taken from the same cluster.
        if (run.sparse) VERANDOL_FUZZ_CHECK(run.lcn == lcn);
        VERANDOL_FUZZ_CHECK(run.valid == (run.sparse || run.lcn >= 0));
        lcn = run.lcn;
    }

    const std::uint32_t cluster_size = 512u << (input[0] & 7);
    const VolumeGeometry geometry{1024, cluster_size, 512, cluster_size / 512};
    std::vector<std::uint8_t> bytes(64 * 1024);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i / 1024);
    MemoryVolume volume(std::move(bytes));
    MftRecordReader reader(volume, geometry, list.runs);
    std::vector<std::uint8_t> record(geometry.RecordSize);
    // Ascending, then back to the start and far out, as a scan and a damaged map would ask.
    for (std::int64_t index : {0, 1, 2, 3, 17, 63, 64, 1, 1 << 20, (1 << 30) + 5}) {
        auto position = reader.Read(index, record);
        if (position) VERANDOL_FUZZ_CHECK(*position >= 0 && *position < volume.Size());
    }

    // The same runs placed twice, the second time overlapping: extents stay
    // ascending and disjoint, and a gathered read delivers what it says.
    ClusterMap map(cluster_size);
    map.AddPiece(list.runs, 0);
    map.AddPiece(list.runs, 3);
    std::int64_t end = 0;
    for (const ClusterExtent& e : map.Extents()) {
        VERANDOL_FUZZ_CHECK(e.vcn >= end && e.clusters > 0);
        end = e.vcn + e.clusters;
    }
    std::vector<std::uint8_t> out(3 * cluster_size);
    for (std::int64_t offset : {std::int64_t{0}, std::int64_t{cluster_size} - 1, std::int64_t{1} << 40}) {
        const ClusterMap::Gathered read = map.Read(volume, offset, out, ClusterMap::Holes::Zeros);
        VERANDOL_FUZZ_CHECK(read.bytes <= out.size());
        VERANDOL_FUZZ_CHECK((read.stop == ClusterMap::Gathered::Stop::Complete) == (read.bytes == out.size()));
    }
}

}  // namespace verandol::fuzz
