#include <cstddef>
#include <cstdint>

#include "fuzz/naming_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    verandol::fuzz::FuzzStaleFileNames(verandol::ByteSpan(data, size));
    return 0;
}
