#include "scan/listed_file_reader.h"

#include "ntfs/attributes.h"
#include "ntfs/fixups.h"
#include "ntfs/layout.h"
#include "ntfs/listed_attributes.h"
#include "scan/deleted_file_reader.h"
#include "scan/folder_paths.h"

namespace verandol {

std::optional<DeletedFileRow> ReadListedFileRow(ByteSource& volume, const MftMap& map, const VolumeGeometry& geometry,
                                                ByteSpan record, std::int64_t index, std::int64_t position,
                                                std::vector<DataPiece>* pieces) {
    if (!(IsDeletedFileRecord(record) || IsFileInUseRecord(record)) || IsExtensionRecord(record)) return std::nullopt;
    auto times = ReadStandardTimes(FindAttribute(record, layout::attr::kStandardInformation, false));
    if (!times) return std::nullopt;
    ListedAttributes found =
        GatherListedAttributes(volume, map, geometry, record, index, pieces ? DataPieces::All : DataPieces::First);
    if (found.data.empty()) return std::nullopt;
    auto size = ReadListedDataSize(found.data.front().attribute);
    if (!size) return std::nullopt;
    const std::u16string units = ReadFileNameUnits(found.file_name).value_or(std::u16string());
    DeletedFileRow row = MakeDeletedFileRow(position, units, *size, *times);
    row.parent_reference = ReadParentReference(found.file_name).value_or(0);
    row.deleted = IsDeletedFileRecord(record);
    if (pieces) *pieces = std::move(found.data);
    return row;
}

}  // namespace verandol
