#include <cstddef>
#include <cstdint>

#include "fuzz/jpeg_scan_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    verandol::fuzz::FuzzJpegScan(verandol::ByteSpan(data, size));
    return 0;
}
