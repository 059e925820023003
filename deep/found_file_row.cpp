#include "deep/found_file_row.h"

#include <memory>

#include "disk/offset_view.h"
#include "ntfs/attributes.h"
#include "ntfs/layout.h"
#include "ntfs/listed_attributes.h"
#include "scan/data_head_type.h"
#include "scan/deleted_file_reader.h"
#include "scan/folder_paths.h"
#include "scan/listed_file_reader.h"

namespace verandol {

std::optional<FoundFile> ReadFoundFile(ByteSource& volume, const FoundGeometry& found, const FoundRecordHeader& header,
                                       std::vector<std::uint8_t>& record, std::int64_t position,
                                       ClusterBitmap* bitmap) {
    namespace rec = layout::record;
    if ((header.flags & ~rec::kFlagInUse) != 0 || IsExtensionRecord(record)) return std::nullopt;
    // The row readers take only records whose flags word is 0; what the
    // volume last said of the record travels beside the row instead.
    record[rec::kFlags] = 0;
    record[rec::kFlags + 1] = 0;

    FoundFile file;
    file.in_use = (header.flags & rec::kFlagInUse) != 0;
    std::vector<ByteSpan> pieces;
    std::vector<DataPiece> listed;
    std::optional<DeletedFileRow> row;
    if (HasAttributeList(record)) {
        // The record's volume, seen from its cluster 0.
        std::shared_ptr<ByteSource> shared(&volume, [](ByteSource*) {});
        OffsetView view(shared, found.origin, volume.Size() - found.origin);
        const MftMap map = FoundMftMap(found, volume.Size());
        row = ReadListedFileRow(view, map, found.geometry, record, header.number, position, &listed);
        for (const DataPiece& piece : listed) pieces.emplace_back(piece.attribute);
        file.named = row && !row->name.empty();
    } else {
        row = ReadDeletedFileRow(record, position);
        file.named = row.has_value();
        if (!row) {
            // Without its own $FILE_NAME: listed nameless, for an index entry to name.
            auto times = ReadStandardTimes(FindAttribute(record, layout::attr::kStandardInformation, false));
            auto size = ReadListedDataSize(FindAttribute(record, layout::attr::kData, false));
            if (!times || !size || !FindAttribute(record, layout::attr::kFileName, false).empty()) return std::nullopt;
            row = MakeDeletedFileRow(position, {}, *size, *times);
            // Named after its content's type until an index entry names it.
            row->type = TypeFromDataHead(volume, found.origin, found.geometry.ClusterSize,
                                         FindAttribute(record, layout::attr::kData, false));
        }
        pieces.push_back(FindAttribute(record, layout::attr::kData, false));
    }
    if (!row) return std::nullopt;
    file.row = std::move(*row);
    file.row.found_deep = true;
    file.row.deleted = !file.in_use;
    file.row.found = found;
    const std::int64_t bitmap_offset = found.judge.volume_offset;
    if (found.judge.owner) {
        // A file in use on the bitmap's own volume owns its clusters, as the
        // walk judges the files in use it lists.
        file.row.recoverable = 100;
    } else if (bitmap && !pieces.empty() && found.origin >= bitmap_offset) {
        if (auto use = bitmap->CountForPiecesOf(pieces, found.geometry.ClusterSize, found.origin - bitmap_offset))
            file.row.recoverable = FreeSharePercent(*use);
    }
    return file;
}

}  // namespace verandol
