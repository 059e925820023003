// Scanning a volume and recovering every row, for the tests of damaged
// volumes, hostile names and read-only sources.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "recover/recover_file.h"
#include "scan/scan_collector.h"
#include "tests/fixture_support.h"
#include "tests/record_builder.h"

namespace verandol::testing {

struct Recovery {
    DeletedFileRow row;
    RecoverResult result;
    std::string path;
};

// A fixture's manifest and a copy of its image, to damage or patch.
struct FixtureCopy {
    Manifest manifest;
    Bytes image;
    explicit FixtureCopy(const std::string& name);
    // The deleted file of that name.
    const ManifestFile& DeletedFile(const std::string& name) const;
};

// Recovers every row of `scan` no larger than `max_size` into `folder`, under
// the row's own (made safe) name when `own_names`, else under its index.
std::vector<Recovery> RecoverAll(ByteSource& volume, const ScanCollector& scan, const std::string& folder,
                                 bool own_names, std::int64_t max_size = INT64_MAX);

// What must hold after any scan and recovery, however damaged the volume:
// the scan ended, a failure says why, a file not written is absent, an
// incomplete one says what is missing, and no temporary file is left.
void ExpectHonestOutcome(const ScanCollector& scan, const std::vector<Recovery>& recoveries,
                         const std::string& folder);

// Overwrites bytes of the MFT record at `record_position` in a raw image at
// `offset` from the record's start. The last two bytes of each 512-byte
// stride hold the update sequence number on disk, so a patch must not touch
// them.
void PatchRecord(Bytes& image, std::int64_t record_position, std::size_t offset, const Bytes& bytes);

// Where the record's attribute of `type` starts, from the record's start,
// read from a fixed-up copy.
std::size_t AttributeOffset(const Bytes& image, std::int64_t record_position, std::size_t record_size,
                            std::uint32_t type);

}  // namespace verandol::testing
