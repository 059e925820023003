// $ATTRIBUTE_LIST: where the attributes of a file too large for one record
// live. Each entry names an attribute by type, name length, first cluster
// and attribute id, and the record (base or extension) that holds it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ntfs/byte_reader.h"

namespace verandol {

struct AttributeListEntry {
    std::uint32_t type = 0;
    std::uint8_t name_length = 0;   // 0 for the unnamed data stream
    std::int64_t first_vcn = 0;     // the piece's first cluster within the attribute
    std::uint64_t record = 0;       // the record holding the piece
    std::uint16_t sequence = 0;     // that record's sequence number when listed; 0: not recorded
    std::uint16_t attribute_id = 0;
};

struct ParsedAttributeList {
    std::vector<AttributeListEntry> entries;
    // Empty when the list was read to its end; otherwise why it stopped
    // (the entries before that point are kept).
    std::string reason;
};

// Entries are read while at least one entry header fits; each entry's length
// must hold its header and its name and stay inside the value.
ParsedAttributeList ParseAttributeList(ByteSpan value);

}  // namespace verandol
