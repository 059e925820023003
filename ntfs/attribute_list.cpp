#include "ntfs/attribute_list.h"

#include "ntfs/layout.h"

namespace verandol {

namespace al = layout::attr_list;

ParsedAttributeList ParseAttributeList(ByteSpan value) {
    ParsedAttributeList list;
    std::size_t p = 0;
    while (fits(value.size(), p, al::kMinEntrySize)) {
        AttributeListEntry entry;
        entry.type = *read_le32(value, p + al::kType);
        const std::uint16_t length = *read_le16(value, p + al::kEntryLength);
        entry.name_length = *read_le8(value, p + al::kNameLength);
        entry.first_vcn = *read_sle64(value, p + al::kFirstVcn);
        const std::uint64_t segment = *read_le64(value, p + al::kSegment);
        entry.record = segment & layout::kReferenceRecordMask;
        entry.sequence = static_cast<std::uint16_t>(segment >> 48);
        entry.attribute_id = *read_le16(value, p + al::kAttributeId);
        if (entry.type == layout::attr::kEnd) break;
        if (length < al::kMinEntrySize + 2u * entry.name_length || !fits(value.size(), p, length)) {
            list.reason = "an attribute list entry has an impossible length";
            return list;
        }
        if (entry.first_vcn < 0) {
            list.reason = "an attribute list entry starts at a negative cluster";
            return list;
        }
        list.entries.push_back(entry);
        p += length;
    }
    return list;
}

}  // namespace verandol
