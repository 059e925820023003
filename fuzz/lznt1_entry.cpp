#include "fuzz/lznt1_entry.h"

#include <memory>

#include "fuzz/fuzz_check.h"
#include "ntfs/lznt1.h"

namespace verandol::fuzz {

void FuzzLznt1(ByteSpan input) {
    if (input.empty()) return;
    const std::size_t unit = kLznt1ChunkBytes << (input[0] & 7);
    // Exactly the unit's size on the heap, so a write one byte past it is
    // caught by the address sanitizer.
    auto out = std::make_unique<std::uint8_t[]>(unit);
    const auto result = DecompressLznt1(input.subspan(1), MutableByteSpan(out.get(), unit));
    if (result) {
        VERANDOL_FUZZ_CHECK(*result <= unit);
        VERANDOL_FUZZ_CHECK(*result % kLznt1ChunkBytes == 0 || *result == unit);
    } else {
        VERANDOL_FUZZ_CHECK(!result.reason().empty());
    }
}

}  // namespace verandol::fuzz
