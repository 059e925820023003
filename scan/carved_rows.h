// Carving after a scan: the files found by content in the scanned volume's
// free clusters, as rows of the same list.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "carve/carve_pass.h"
#include "disk/published_geometry.h"
#include "ntfs/byte_source.h"
#include "scan/deleted_file_row.h"

namespace verandol {

// A carved file as a row: at its first byte's position, named
// "f<unit>.<extension>" after the cluster (the sector, without a geometry)
// it begins in, with no dates, folder or recoverable share.
DeletedFileRow CarvedRow(const CarvedFile& file);

// Names carved rows once the pass is over, from what the volume still
// remembers: the naming engine, which the scan's workers know only through
// this. It is shown the units no format's start claimed (an index block among
// them may name files met before it), then renames the rows.
class CarvedRowNamer {
public:
    virtual ~CarvedRowNamer() = default;
    virtual void Unmatched(ByteSpan bytes) = 0;
    // Renames the carved rows among `rows` and says where each name came from.
    virtual void Name(std::vector<DeletedFileRow>& rows) = 0;
};
// Makes the namer for one carve of `volume` as the scan published it.
using CarvedRowNamers = std::function<std::unique_ptr<CarvedRowNamer>(
    ByteSource& volume, const std::optional<PublishedGeometry>& published)>;

struct CarveRowHooks {
    std::function<void(DeletedFileRow row)> row;
    std::function<bool()> stop;                                            // optional
    std::function<void(std::int64_t done, std::int64_t total)> progress;  // optional
    // A free unit no format starts at, with the bytes read from it on (optional).
    std::function<void(std::int64_t position, ByteSpan bytes)> unmatched;
};

// Carves `volume` as the scan published it: the clusters its bitmap marks
// free when the bitmap can be read, every cluster when it cannot, and every
// sector when no geometry is known (not NTFS, or nothing was published).
// The `claimed` bytes (the clusters listed rows name) are not searched.
CarveEnd CarveRows(ByteSource& volume, const std::optional<PublishedGeometry>& published, const CarveRowHooks& hooks,
                   const StretchSet* claimed = nullptr);

}  // namespace verandol
