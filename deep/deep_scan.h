// The deep scan: every sector of a volume read once, in large sequential
// reads, and every file record found on the way that passes its checks
// listed, unless it is a record the present MFT has in use.
//
// That lists the present MFT's deleted files, the files of an MFT that a
// format left behind (in use then or not), and records that lie in free
// space. Names lost from a record are taken from the folder index blocks
// the same pass meets.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "deep/record_groups.h"
#include "ntfs/byte_source.h"
#include "scan/scan_volume.h"

namespace verandol {

struct DeepScanOptions {
    // Volumes a search for lost volumes found on the scanned device; a
    // record inside one of them is read with its geometry.
    std::vector<KnownVolume> found_volumes;
    // Bytes per read: small enough to stay in the processor's cache while
    // the pass looks at every sector of it (1 MiB measured faster than 4
    // or 8), large enough that the calls cost little.
    std::size_t read_bytes = 1u << 20;
};

// Reports through `events` as the walk does: the figures of the present
// volume when there is one (a volume whose boot sector is gone is scanned
// all the same), the progress in MiB read (0 to the volume's size in MiB),
// the rows as they are found (rows named from an index come last, once the
// whole volume has been read), and the folders of every row at the end.
// Every row has found_deep set and the geometry to recover it with.
void DeepScanVolume(ByteSource& volume, const std::string& drive_name, const std::string& path, ScanEvents& events,
                    const DeepScanOptions& options = {});

// Opens the volume address read-only and scans it deep.
void DeepScanVolumePath(const std::string& drive_name, const std::string& path, ScanEvents& events,
                        const DeepScanOptions& options = {});

}  // namespace verandol
