#include <cstddef>
#include <cstdint>

#include "fuzz/index_entries_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    verandol::fuzz::FuzzIndexEntries(verandol::ByteSpan(data, size));
    return 0;
}
