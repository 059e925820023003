#include "disk/unreadable_device.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <fstream>
#include <optional>

#include "disk/sysfs_number.h"

namespace verandol {

namespace {

// The few keys of a device manager's record ("E:ID_FS_TYPE=ntfs") that matter here.
struct RecordValues {
    bool found = false;  // the record exists
    std::string fs_type;
    std::string table_type;
};

RecordValues ReadRecord(const std::string& sysfs_dir, const std::string& udev_data) {
    RecordValues values;
    std::ifstream dev(sysfs_dir + "/dev");
    std::string numbers;  // "7:0"
    if (!(dev >> numbers) || numbers.find(':') == std::string::npos) return values;
    std::ifstream record(udev_data + "/b" + numbers);
    if (!record) return values;
    values.found = true;
    std::string line;
    while (std::getline(record, line)) {
        if (line.rfind("E:ID_FS_TYPE=", 0) == 0) values.fs_type = line.substr(13);
        if (line.rfind("E:ID_PART_TABLE_TYPE=", 0) == 0) values.table_type = line.substr(21);
    }
    return values;
}

}  // namespace

bool ReadPermissionDenied(const std::string& path) {
    if (::access(path.c_str(), R_OK) == 0) return false;
    return errno == EACCES || errno == EPERM;
}

std::int64_t SysfsSize(const std::string& sysfs_dir) {
    const std::optional<std::uint64_t> sectors = SysfsNumber(sysfs_dir + "/size");
    if (!sectors || *sectors > static_cast<std::uint64_t>(INT64_MAX)) return 0;
    std::int64_t bytes = 0;
    return __builtin_mul_overflow(static_cast<std::int64_t>(*sectors), std::int64_t{512}, &bytes) ? 0 : bytes;
}

bool MayHoldNtfs(const std::string& sysfs_dir, bool may_hold_partitions, const std::string& udev_data) {
    const RecordValues record = ReadRecord(sysfs_dir, udev_data);
    if (!record.found) return true;
    if (!record.fs_type.empty()) return record.fs_type == "ntfs";
    return !record.table_type.empty() && may_hold_partitions;
}

ContentType RecordedContentType(const std::string& sysfs_dir, const std::string& udev_data) {
    const RecordValues record = ReadRecord(sysfs_dir, udev_data);
    return {record.fs_type, record.table_type};
}

}  // namespace verandol
