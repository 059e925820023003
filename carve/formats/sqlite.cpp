#include "carve/formats/sqlite.h"

#include <algorithm>
#include <cstring>

#include "carve/formats/big_endian.h"
#include "ntfs/checked_math.h"

namespace verandol {

namespace {

constexpr char kMagic[] = "SQLite format 3";  // and its terminating zero: 16 bytes
constexpr std::size_t kHeaderBytes = 100;

std::uint32_t Be32At(ByteSpan b, std::size_t at) { return read_be32(b, at).value_or(0); }

// The page size the header states: a power of two from 512 to 65536 (stored as 1).
std::int64_t PageSize(ByteSpan head) {
    const std::uint32_t stored = read_be16(head, 16).value_or(0);
    if (stored == 1) return 65536;
    if (stored < 512 || stored > 32768 || (stored & (stored - 1)) != 0) return 0;
    return stored;
}

}  // namespace

bool SqliteStarts(ByteSpan head) {
    // The magic, the page size, the read and write versions (1 legacy, 2 WAL),
    // the reserved bytes per page and the three payload fractions, fixed at 64, 32, 32.
    return head.size() >= 24 && std::memcmp(head.data(), kMagic, sizeof kMagic) == 0 && PageSize(head) != 0 &&
           (head[18] == 1 || head[18] == 2) && (head[19] == 1 || head[19] == 2) && head[21] == 64 &&
           head[22] == 32 && head[23] == 32 && head[20] < 128;
}

WalkResult WalkSqlite(CarveReader& in) {
    const ByteSpan head = in.Window(0, kHeaderBytes + 8);
    if (!SqliteStarts(head) || head.size() < kHeaderBytes + 8) return std::nullopt;
    const std::int64_t page_size = PageSize(head);
    // The usable part of a page is at least 480 bytes.
    if (page_size - head[20] < 480) return std::nullopt;
    // The first page is the schema's b-tree: a table leaf or interior page.
    const std::uint8_t first_page = head[kHeaderBytes];
    if (first_page != 0x0D && first_page != 0x05) return std::nullopt;
    const std::uint32_t change_counter = Be32At(head, 24);
    const std::uint32_t pages = Be32At(head, 28);
    const std::uint32_t freelist_trunk = Be32At(head, 32);
    const std::uint32_t freelist_pages = Be32At(head, 36);
    const std::uint32_t schema_format = Be32At(head, 44);
    const std::uint32_t encoding = Be32At(head, 56);
    const std::uint32_t valid_for = Be32At(head, 92);
    bool reserved_zero = true;
    for (std::size_t i = 72; i < 92; ++i) reserved_zero = reserved_zero && head[i] == 0;
    // An empty database has no schema yet: format and encoding are still zero.
    // Writers before 3.7.0 may leave the page count zero; a count there bounds the free list.
    const bool fields_hold = reserved_zero && schema_format <= 4 && encoding <= 3 &&
                             (pages == 0 || (freelist_trunk <= pages && freelist_pages < pages));
    // Fields no writer leaves so: bytes that only begin like a database.
    if (!fields_hold) return std::nullopt;
    const bool count_current = change_counter == valid_for && pages > 0;
    if (!count_current) {
        // Where the database ends is not known: only its first page is sure.
        return WalkedFile{std::min(page_size, in.Size()), CarveCheck::Incomplete, {}};
    }
    const std::int64_t length = page_size * std::int64_t{pages};  // at most 2^16 * 2^32: no overflow
    if (length > in.Size()) return WalkedFile{in.Size(), CarveCheck::Incomplete, {}};
    return WalkedFile{length, CarveCheck::Complete, {}};
}

}  // namespace verandol
