#include "deep/found_record.h"

#include <cstring>

#include "ntfs/fixups.h"
#include "ntfs/layout.h"

namespace verandol {

namespace rec = layout::record;

std::optional<std::size_t> FoundRecordSize(ByteSpan bytes) {
    if (!HasFileSignature(bytes)) return std::nullopt;
    const auto size = read_le32(bytes, rec::kBytesAllocated);
    const auto usa_count = read_le16(bytes, rec::kUsaCount);
    if (!size || !usa_count) return std::nullopt;
    // A power of two the size of at least one stride, and one entry per stride.
    if (*size < rec::kFixupStride || *size > kMaxFoundBlockBytes || (*size & (*size - 1)) != 0) return std::nullopt;
    if (*usa_count != *size / rec::kFixupStride + 1) return std::nullopt;
    return *size;
}

std::optional<FoundRecordHeader> TakeFoundRecord(ByteSpan bytes, std::vector<std::uint8_t>& record) {
    const auto size = FoundRecordSize(bytes);
    if (!size || bytes.size() < *size) return std::nullopt;
    const std::size_t usa_offset = *read_le16(bytes, rec::kUsaOffset);
    const std::size_t usa_count = *read_le16(bytes, rec::kUsaCount);
    const std::size_t first_attribute = *read_le16(bytes, rec::kFirstAttribute);
    const std::size_t in_use = *read_le32(bytes, rec::kBytesInUse);
    // Only a header that holds the record's number can be placed in its MFT.
    if (usa_offset < rec::kNumberedUsaOffset || usa_offset % 2 != 0) return std::nullopt;
    if (first_attribute < usa_offset + 2 * usa_count || first_attribute % 8 != 0) return std::nullopt;
    if (in_use > *size || in_use < first_attribute + 4 || first_attribute + 4 > *size) return std::nullopt;

    record.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(*size));
    if (!ApplyFixups(record)) return std::nullopt;
    FoundRecordHeader header;
    header.record_size = static_cast<std::uint32_t>(*size);
    header.number = *read_le32(record, rec::kRecordNumber);
    header.sequence = *read_le16(record, rec::kSequenceNumber);
    header.log_sequence = *read_le64(record, rec::kLogSequence);
    header.flags = *read_le16(record, rec::kFlags);
    return header;
}

}  // namespace verandol
