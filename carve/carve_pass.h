// The carve pass: files found by their content where no record names them.
//
// The volume's free clusters (every cluster when no bitmap can be trusted)
// are read in large sequential reads, each cluster's first bytes tested
// against the formats' start signatures, and at a hit the format's walker
// follows the structure through the volume to the file's exact end. A file
// whose structure closed (verified or complete) is passed over whole: the
// search goes on after its end, so nothing inside it is carved again.
#pragma once

#include <cstdint>
#include <string>

#include "carve/carve_check.h"
#include "ntfs/byte_source.h"
#include "ntfs/cluster_bitmap.h"
#include "reading/stretch_set.h"

namespace verandol {

struct CarvedFile {
    CarvedExtent extent;
    const char* format = "";  // the format's name, "png"
    std::string extension;    // without the dot
    // The clusters (units) it covers: from the one its first byte lies in.
    std::int64_t first_unit = 0;
    std::int64_t unit_count = 0;
};

struct CarveSetup {
    // The boundary files start on: the cluster size, or the sector size
    // where no geometry is known (a formatted volume, a whole disk).
    std::int64_t unit = 512;
    // Units the bitmap marks in use are not searched; null searches all.
    ClusterBitmap* bitmap = nullptr;
    // Bytes of the volume other rows already account for: not searched.
    const StretchSet* claimed = nullptr;
    std::size_t read_bytes = 1 << 20;
};

class CarveEvents {
public:
    virtual ~CarveEvents() = default;
    virtual void Found(CarvedFile file) = 0;
    // Polled before each read, also those of a walk through a large file.
    virtual bool StopRequested() { return false; }
    // A searched unit at which no format starts, with the bytes the read
    // holds from it on (at least the unit's own): other searches look there.
    virtual void Unmatched(std::int64_t position, ByteSpan bytes) {
        (void)position;
        (void)bytes;
    }
    // Bytes of the volume passed so far, of `total`.
    virtual void Progress(std::int64_t done, std::int64_t total) {
        (void)done;
        (void)total;
    }
};

enum class CarveEnd { Completed, Stopped };

CarveEnd CarvePass(ByteSource& volume, const CarveSetup& setup, CarveEvents& events);

}  // namespace verandol
