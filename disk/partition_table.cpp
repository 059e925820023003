#include "disk/partition_table.h"

#include <blkid/blkid.h>

#include "ntfs/checked_math.h"

namespace verandol {

namespace {

// The library gives positions in 512-byte units whatever the disk's sectors.
constexpr std::int64_t kProbeUnit = 512;

class Probe {
public:
    explicit Probe(const std::string& path) : probe_(blkid_new_probe_from_filename(path.c_str())) {}
    ~Probe() {
        if (probe_) blkid_free_probe(probe_);
    }
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;
    blkid_probe get() const { return probe_; }

private:
    blkid_probe probe_;
};

}  // namespace

Outcome<PartitionTable> ReadPartitionTable(const std::string& path) {
    Probe probe(path);
    if (!probe.get()) return Refusal("cannot read " + path);
    blkid_probe_enable_superblocks(probe.get(), 0);
    blkid_probe_enable_partitions(probe.get(), 1);
    blkid_partlist list = blkid_probe_get_partitions(probe.get());
    blkid_parttable root = list ? blkid_partlist_get_table(list) : nullptr;
    if (!root) return Refusal(path + " holds no partition table");

    PartitionTable table;
    if (const char* type = blkid_parttable_get_type(root)) table.type = type;
    const int count = blkid_partlist_numof_partitions(list);
    for (int i = 0; i < count; ++i) {
        blkid_partition part = blkid_partlist_get_partition(list, i);
        if (!part) continue;
        PartitionEntry entry;
        entry.number = blkid_partition_get_partno(part);
        entry.extended = blkid_partition_is_extended(part) != 0;
        const blkid_loff_t start = blkid_partition_get_start(part);
        const blkid_loff_t size = blkid_partition_get_size(part);
        if (entry.number <= 0 || start < 0 || size < 0 ||
            MulOverflows(static_cast<std::int64_t>(start), kProbeUnit, entry.start) ||
            MulOverflows(static_cast<std::int64_t>(size), kProbeUnit, entry.length))
            continue;
        table.partitions.push_back(entry);
    }
    return table;
}

}  // namespace verandol
