#include "fuzz/record_groups_entry.h"

#include <set>
#include <vector>

#include "deep/deep_scan.h"
#include "fuzz/fuzz_check.h"
#include "scan/scan_collector.h"

namespace verandol::fuzz {

namespace {

ScanCollector Scan(ByteSpan input, std::size_t read_bytes) {
    BorrowedVolume volume(input);
    ScanCollector scan;
    DeepScanOptions options;
    options.read_bytes = read_bytes;
    DeepScanVolume(volume, "fuzz", "", scan, options);
    return scan;
}

}  // namespace

void FuzzRecordGroups(ByteSpan input) {
    const ScanCollector small = Scan(input, 64 * 1024);
    VERANDOL_FUZZ_CHECK(small.end == ScanEnd::Completed);
    VERANDOL_FUZZ_CHECK(small.folder_calls == 1);
    // A row is withdrawn at most once, and only one that was listed: the
    // rows left are the listed ones less the withdrawn.
    const std::set<std::size_t> withdrawn(small.withdrawn.begin(), small.withdrawn.end());
    VERANDOL_FUZZ_CHECK(withdrawn.size() == small.withdrawn.size());
    VERANDOL_FUZZ_CHECK(withdrawn.empty() || *withdrawn.rbegin() < small.rows.size() + withdrawn.size());
    std::set<std::int64_t> positions;
    for (const DeletedFileRow& row : small.rows) {
        VERANDOL_FUZZ_CHECK(row.found_deep);
        VERANDOL_FUZZ_CHECK(row.position >= 0 && row.position % 512 == 0);
        VERANDOL_FUZZ_CHECK(row.position < static_cast<std::int64_t>(input.size()));
        VERANDOL_FUZZ_CHECK(positions.insert(row.position).second);
        const std::uint32_t cluster = row.found.geometry.ClusterSize;
        VERANDOL_FUZZ_CHECK(cluster >= 512 && (cluster & (cluster - 1)) == 0);
        VERANDOL_FUZZ_CHECK(row.found.origin >= 0 && row.found.origin <= row.found.mft_base);
        VERANDOL_FUZZ_CHECK(row.folder.starts_with("/") || row.folder.starts_with("<lost folder #"));
        VERANDOL_FUZZ_CHECK(row.recoverable >= DeletedFileRow::kRecoverableUnknown && row.recoverable <= 100);
    }
    // A record cut by the end of one read is read whole by the next.
    const ScanCollector large = Scan(input, 1 << 20);
    VERANDOL_FUZZ_CHECK(large.rows.size() == small.rows.size());
    VERANDOL_FUZZ_CHECK(large.withdrawn == small.withdrawn);
    for (std::size_t i = 0; i < large.rows.size(); ++i) {
        VERANDOL_FUZZ_CHECK(large.rows[i].position == small.rows[i].position);
        VERANDOL_FUZZ_CHECK(large.rows[i].name == small.rows[i].name);
        VERANDOL_FUZZ_CHECK(large.rows[i].folder == small.rows[i].folder);
    }
}

}  // namespace verandol::fuzz
