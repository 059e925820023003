#include <cstddef>
#include <cstdint>

#include "fuzz/record_groups_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    verandol::fuzz::FuzzRecordGroups(verandol::ByteSpan(data, size));
    return 0;
}
