#include "scan/deleted_file_reader.h"

#include "ntfs/attributes.h"
#include "ntfs/date_time_text.h"
#include "ntfs/fixups.h"
#include "ntfs/layout.h"
#include "ntfs/listed_attributes.h"
#include "ntfs/record_texts.h"

namespace verandol {

std::optional<DeletedFileRow> ReadDeletedFileRow(ByteSpan record, std::int64_t position) {
    if (!IsDeletedFileRecord(record) || IsExtensionRecord(record)) return std::nullopt;

    auto times = ReadStandardTimes(FindAttribute(record, layout::attr::kStandardInformation, false));
    if (!times) return std::nullopt;
    auto units = ReadFileNameUnits(FindAttribute(record, layout::attr::kFileName, true));
    if (!units) return std::nullopt;
    auto size = ReadListedDataSize(FindAttribute(record, layout::attr::kData, false));
    if (!size) return std::nullopt;
    return MakeDeletedFileRow(position, *units, *size, *times);
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
