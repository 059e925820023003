#include <cstddef>
#include <cstdint>

#include "fuzz/lznt1_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    verandol::fuzz::FuzzLznt1(verandol::ByteSpan(data, size));
    return 0;
}
