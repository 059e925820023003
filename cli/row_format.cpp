#include "cli/row_format.h"

#include <cstdint>
#include <optional>

#include "carve/carve_check.h"
#include "cli/text_escape.h"
#include "ntfs/timestamps.h"

namespace verandol::cli {

namespace {

std::string JsonUtc(std::uint64_t ntfs_time) {
    const std::optional<std::string> text = FileTimeToUtcIso8601(ntfs_time);
    return text ? JsonString(*text) : "null";
}

std::string RecoverableText(int recoverable) {
    return recoverable == DeletedFileRow::kRecoverableUnknown ? std::string() : std::to_string(recoverable);
}

// A carved row says so, where its name came from, and how whole its content is.
std::string CarvedKeys(const DeletedFileRow& row) {
    if (!row.carved) return {};
    return ",\"found\":\"carved\",\"named_from\":" + JsonString(row.named_from) + ",\"check\":\"" +
           CarveCheckText(row.carved_extent.check) + "\"";
}

}  // namespace

std::string TsvHeader(bool deleted_column) {
    const auto& c = kDeletedFileColumnCaptions;
    const auto& added = kAddedColumnCaptions;
    const std::string line = TsvLine({c[0], c[1], c[2], c[3], c[4], c[5], added[0], added[1]});
    return deleted_column ? line + '\t' + kDeletedColumnCaption : line;
}

std::string TsvRowBeforeFolder(const DeletedFileRow& row) {
    return TsvLine({row.position_text, row.name, row.type, row.size_text, row.created_text, row.modified_text}) + '\t';
}

std::string TsvRowFromFolder(const std::string& folder, int recoverable, std::optional<bool> deleted) {
    const std::string line = TsvLine({folder, RecoverableText(recoverable)});
    if (!deleted) return line;
    return line + (*deleted ? "\tyes" : "\tno");
}

std::string TsvRow(const DeletedFileRow& row) {
    return TsvRowBeforeFolder(row) + TsvRowFromFolder(row.folder, row.recoverable);
}

std::string JsonRowBeforeFolder(const DeletedFileRow& row) {
    return "{\"position\":" + JsonString(row.position_text) + ",\"name\":" + JsonString(row.name) +
           ",\"type\":" + JsonString(row.type) + ",\"size\":" + std::to_string(row.size) +
           ",\"created\":" + JsonString(row.created_text) + ",\"modified\":" + JsonString(row.modified_text) +
           // A carved file's times are not known unless a name it took came with them, not 1601.
           ",\"created_utc\":" + (row.carved && row.created_time == 0 ? "null" : JsonUtc(row.created_time)) +
           ",\"modified_utc\":" + (row.carved && row.modified_time == 0 ? "null" : JsonUtc(row.modified_time)) +
           (row.found_deep ? ",\"found\":\"deep\"" : "") + CarvedKeys(row) + ",\"path\":";
}

std::string JsonRowFromFolder(const std::string& folder, int recoverable, std::optional<bool> deleted) {
    const std::string deleted_key = !deleted ? "" : *deleted ? ",\"deleted\":true" : ",\"deleted\":false";
    return JsonString(folder) +
           ",\"recoverable\":" + (recoverable < 0 ? std::string("null") : RecoverableText(recoverable)) +
           deleted_key + "}";
}

std::string JsonRow(const DeletedFileRow& row) {
    return JsonRowBeforeFolder(row) + JsonRowFromFolder(row.folder, row.recoverable);
}

}  // namespace verandol::cli
