#include <cstddef>
#include <cstdint>

#include "fuzz/content_text_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    verandol::fuzz::FuzzContentText(verandol::ByteSpan(data, size));
    return 0;
}
