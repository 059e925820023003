#include <cstddef>
#include <cstdint>

#include "fuzz/boot_candidate_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    verandol::fuzz::FuzzBootCandidate(verandol::ByteSpan(data, size));
    return 0;
}
