#include <cstddef>
#include <cstdint>

#include "fuzz/disk_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    verandol::fuzz::FuzzDisk(verandol::ByteSpan(data, size));
    return 0;
}
