#include "disk/found_geometry.h"

namespace verandol {

MftMap FoundMftMap(const FoundGeometry& found, std::int64_t volume_size) {
    const std::int64_t cluster = found.geometry.ClusterSize;
    const std::int64_t from = found.mft_base - found.origin;
    if (cluster <= 0 || found.geometry.RecordSize == 0 || from < 0 || from % cluster != 0 ||
        volume_size <= found.mft_base)
        return {};
    const std::int64_t clusters = (volume_size - found.mft_base) / cluster;
    return MftMap({Run{static_cast<std::uint64_t>(clusters), from / cluster, false, true}}, cluster,
                  found.geometry.RecordSize);
}

}  // namespace verandol
