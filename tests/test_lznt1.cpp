#include <gtest/gtest.h>

#include <vector>

#include "ntfs/lznt1.h"
#include "tests/record_builder.h"

namespace verandol {
namespace {

using testing::Bytes;

// A chunk: its 16-bit header (stored length minus 1, signature 3, bit 15
// for compressed) and its body.
Bytes Chunk(const Bytes& body, bool compressed) {
    Bytes chunk(2);
    testing::PutLe(chunk, 0, (body.size() - 1) | 0x3000 | (compressed ? 0x8000 : 0), 2);
    chunk.insert(chunk.end(), body.begin(), body.end());
    return chunk;
}

TEST(Lznt1, LiteralsOverlappingReferencesAndStoredChunksFillTheirOwn4KiB) {
    // "abc", then a reference 3 back and 6 long that overlaps what it makes.
    // At position 3 the token has 12 length bits: (3 - 1) << 12 | (6 - 3).
    Bytes in = Chunk({0x08, 'a', 'b', 'c', 0x03, 0x20}, true);
    const Bytes stored = Chunk(Bytes(4096, 'z'), false);
    in.insert(in.end(), stored.begin(), stored.end());
    in.insert(in.end(), {0, 0, 0x55, 0x55});  // the end marker; what follows is not read

    std::vector<std::uint8_t> out(16384, 0);
    auto covered = DecompressLznt1(in, out);
    ASSERT_TRUE(covered) << covered.reason();
    EXPECT_EQ(*covered, 8192u);
    Bytes want(16384, 0);
    const std::string text = "abcabcabc";
    std::copy(text.begin(), text.end(), want.begin());
    std::fill(want.begin() + 4096, want.begin() + 8192, 'z');
    EXPECT_EQ(Bytes(out.begin(), out.end()), want);

    // Further into a chunk the distance takes more bits: from position 17
    // on, 11 length bits. 17 literals, then a copy of the first 3.
    Bytes body;
    for (int i = 0; i < 17; ++i) {
        if (i % 8 == 0) body.push_back(i == 16 ? 0x02 : 0x00);
        body.push_back(static_cast<std::uint8_t>('A' + i));
    }
    body.insert(body.end(), {0x00, 0x80});  // (17 - 1) << 11 | (3 - 3)
    std::vector<std::uint8_t> unit(4096, 0);
    ASSERT_TRUE(DecompressLznt1(Chunk(body, true), unit));
    EXPECT_EQ(std::string(unit.begin(), unit.begin() + 20), "ABCDEFGHIJKLMNOPQABC");
}

TEST(Lznt1, DataNoCompressorWritesIsRefusedWithoutReadingOrWritingOutside) {
    const std::vector<std::pair<const char*, Bytes>> cases = {
        {"a reference before anything was produced", Chunk({0x01, 0x00, 0x00}, true)},
        {"a reference before the chunk's start", Chunk({0x02, 'a', 0x00, 0x10}, true)},
        {"a chunk longer than its input", [] {
             Bytes b = Chunk({0x00, 'a', 'b'}, true);
             b[0] = 0x63;  // claims 100 bytes
             return b;
         }()},
        // One literal, then a copy 4,098 long: the chunk would exceed 4,096 bytes.
        {"a reference past 4,096 bytes", Chunk({0x02, 'x', 0xFF, 0x0F}, true)},
        {"a reference cut by the chunk's end", Chunk({0x02, 'a', 0x00}, true)},
    };
    for (const auto& [what, in] : cases) {
        std::vector<std::uint8_t> out(4096, 0);
        auto result = DecompressLznt1(in, out);
        EXPECT_FALSE(result) << what << ": " << (result ? *result : 0);
        EXPECT_FALSE(result.reason().empty()) << what;
    }
    // An empty unit and a bare end marker leave zeros.
    std::vector<std::uint8_t> out(4096, 0);
    EXPECT_EQ(*DecompressLznt1({}, out), 0u);
    EXPECT_EQ(*DecompressLznt1(Bytes{0, 0}, out), 0u);
}

}  // namespace
}  // namespace verandol
