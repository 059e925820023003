#include "scan/deleted_file_reader.h"

#include "ntfs/attributes.h"
#include "text/date_time_text.h"
#include "ntfs/fixups.h"
#include "ntfs/layout.h"
#include "ntfs/listed_attributes.h"
#include "text/record_texts.h"
#include "scan/folder_paths.h"

namespace verandol {

std::optional<DeletedFileRow> ReadDeletedFileRow(ByteSpan record, std::int64_t position, ByteSpan* data) {
    if (!(IsDeletedFileRecord(record) || IsFileInUseRecord(record)) || IsExtensionRecord(record)) return std::nullopt;

    auto times = ReadStandardTimes(FindAttribute(record, layout::attr::kStandardInformation, false));
    if (!times) return std::nullopt;
    ByteSpan file_name = FindAttribute(record, layout::attr::kFileName, true);
    auto units = ReadFileNameUnits(file_name);
    if (!units) return std::nullopt;
    const ByteSpan data_attribute = FindAttribute(record, layout::attr::kData, false);
    auto size = ReadListedDataSize(data_attribute);
    if (!size) return std::nullopt;
    if (data) *data = data_attribute;
    DeletedFileRow row = MakeDeletedFileRow(position, *units, *size, *times);
    row.parent_reference = ReadParentReference(file_name).value_or(0);
    row.deleted = IsDeletedFileRecord(record);
    return row;
}

DeletedFileRow MakeDeletedFileRow(std::int64_t position, std::u16string_view units, std::int64_t size,
                                  const StandardTimes& times) {
    DeletedFileRow row;
    row.position = position;
    row.position_text = PositionCaption(position);
    row.name = Utf16ToUtf8(units);
    row.type = FileExtension(row.name);
    row.size = size;
    row.size_text = std::to_string(size);
    row.created_time = times.created;
    row.modified_time = times.modified;
    row.created_text = NtfsTimeText(times.created);
    row.modified_text = NtfsTimeText(times.modified);
    return row;
}

}  // namespace verandol
