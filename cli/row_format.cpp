#include "cli/row_format.h"

#include <cstdint>
#include <optional>

#include "cli/text_escape.h"
#include "ntfs/timestamps.h"

namespace verandol::cli {

namespace {

std::string JsonUtc(std::uint64_t ntfs_time) {
    const std::optional<std::string> text = FileTimeToUtcIso8601(ntfs_time);
    return text ? JsonString(*text) : "null";
}

}  // namespace

std::string TsvHeader() {
    const auto& c = kDeletedFileColumnCaptions;
    return TsvLine({c[0], c[1], c[2], c[3], c[4], c[5]});
}

std::string TsvRow(const DeletedFileRow& row) {
    return TsvLine({row.position_text, row.name, row.type, row.size_text, row.created_text, row.modified_text});
}

std::string JsonRow(const DeletedFileRow& row) {
    return "{\"position\":" + JsonString(row.position_text) + ",\"name\":" + JsonString(row.name) +
           ",\"type\":" + JsonString(row.type) + ",\"size\":" + std::to_string(row.size) +
           ",\"created\":" + JsonString(row.created_text) + ",\"modified\":" + JsonString(row.modified_text) +
           ",\"created_utc\":" + JsonUtc(row.created_time) + ",\"modified_utc\":" + JsonUtc(row.modified_time) +
           "}";
}

}  // namespace verandol::cli
