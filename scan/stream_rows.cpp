#include "scan/stream_rows.h"

#include <optional>

#include "ntfs/attributes.h"
#include "ntfs/layout.h"
#include "scan/data_head_type.h"
#include "text/record_texts.h"

namespace verandol {

std::vector<StreamRow> StreamRowsOf(const DeletedFileRow& file, ByteSpan record, ByteSource& volume,
                                    std::int64_t cluster_size) {
    std::vector<StreamRow> rows;
    for (const ByteSpan data : NamedAttributes(record, layout::attr::kData)) {
        const std::optional<std::u16string> units = ReadAttributeName(data);
        const std::optional<std::int64_t> size = ReadListedDataSize(data);
        if (!units || units->empty() || !size) continue;
        const std::string stream = Utf16ToUtf8(*units);
        StreamRow listed{file, data};
        DeletedFileRow& row = listed.row;
        row.position_text = StreamPositionText(file.position_text, stream);
        row.name = std::string(file.name).append(":").append(stream);
        row.type = FileExtension(stream);
        if (row.type.empty()) row.type = TypeFromDataHead(volume, 0, cluster_size, data);
        row.size = *size;
        row.size_text = std::to_string(*size);
        row.recoverable = DeletedFileRow::kRecoverableUnknown;
        rows.push_back(std::move(listed));
    }
    return rows;
}

}  // namespace verandol
