#include <cstddef>
#include <cstdint>

#include "fuzz/rescue_map_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    verandol::fuzz::FuzzRescueMap(verandol::ByteSpan(data, size));
    return 0;
}
