#include "ntfs/fixups.h"

#include <algorithm>

#include "ntfs/layout.h"

namespace verandol {

namespace rec = layout::record;

bool HasFileSignature(ByteSpan record) {
    return record.size() >= sizeof rec::kSignatureBytes &&
           std::equal(std::begin(rec::kSignatureBytes), std::end(rec::kSignatureBytes), record.begin());
}

bool IsDeletedFileRecord(ByteSpan record) { return read_le16(record, rec::kFlags) == std::uint16_t{0}; }

bool IsFileInUseRecord(ByteSpan record) { return read_le16(record, rec::kFlags) == rec::kFlagInUse; }

namespace {

// Both kinds of protected block keep the array's place and length at the
// same offsets.
bool UndoUpdateSequence(MutableByteSpan record) {
    const std::size_t usa_offset = *read_le16(record, rec::kUsaOffset);
    const std::size_t usa_count = *read_le16(record, rec::kUsaCount);
    if (usa_count <= 1) return true;
    if (!fits(record.size(), usa_offset, 2 * usa_count)) return false;
    if ((usa_count - 1) * rec::kFixupStride > record.size()) return false;

    const std::uint8_t usn_first = record[usa_offset];
    const std::uint8_t usn_second = record[usa_offset + 1];
    for (std::size_t i = 1; i < usa_count; ++i) {
        const std::size_t end = i * rec::kFixupStride;
        if (record[end - 2] != usn_first || record[end - 1] != usn_second) return false;
        record[end - 2] = record[usa_offset + 2 * i];
        record[end - 1] = record[usa_offset + 2 * i + 1];
    }
    return true;
}

}  // namespace

bool ApplyFixups(MutableByteSpan record) {
    if (!HasFileSignature(record) || record.size() < rec::kHeaderSize) return false;
    return UndoUpdateSequence(record);
}

bool ApplyIndexBlockFixups(MutableByteSpan block) {
    namespace ix = layout::index_block;
    static_assert(ix::kUsaOffset == rec::kUsaOffset && ix::kUsaCount == rec::kUsaCount);
    if (block.size() < ix::kHeaderSize ||
        !std::equal(std::begin(ix::kSignatureBytes), std::end(ix::kSignatureBytes), block.begin()))
        return false;
    return UndoUpdateSequence(block);
}

}  // namespace verandol
