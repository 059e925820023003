#include <cstddef>
#include <cstdint>

#include "fuzz/attribute_list_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    verandol::fuzz::FuzzAttributeList(verandol::ByteSpan(data, size));
    return 0;
}
