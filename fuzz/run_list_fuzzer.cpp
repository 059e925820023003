#include <cstddef>
#include <cstdint>

#include "fuzz/run_list_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    verandol::fuzz::FuzzRunList(verandol::ByteSpan(data, size));
    return 0;
}
