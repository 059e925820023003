#include <cstddef>
#include <cstdint>

#include "fuzz/mount_info_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    verandol::fuzz::FuzzMountInfo(verandol::ByteSpan(data, size));
    return 0;
}
