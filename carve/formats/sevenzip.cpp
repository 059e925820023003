#include "carve/formats/sevenzip.h"

#include <cstring>

#include "carve/formats/chunk_crc.h"
#include "ntfs/checked_math.h"

namespace verandol {

namespace {

constexpr std::uint8_t kSignature[6] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
constexpr std::int64_t kSignatureHeader = 32;
constexpr std::uint8_t kHeader = 0x01, kEncodedHeader = 0x17;

}  // namespace

bool SevenZipStarts(ByteSpan head) {
    // Major version 0, and the start header's CRC matches.
    if (head.size() < kSignatureHeader || std::memcmp(head.data(), kSignature, 6) != 0 || head[6] != 0) return false;
    return Crc32Update(0, head.subspan(12, 20)) == read_le32(head, 8);
}

WalkResult WalkSevenZip(CarveReader& in) {
    const ByteSpan head = in.Window(0, kSignatureHeader);
    if (!SevenZipStarts(head)) return std::nullopt;
    const std::uint64_t offset = *read_le64(head, 12), size = *read_le64(head, 20);
    const std::uint32_t crc = *read_le32(head, 28);
    // An empty archive: the signature header is all of it.
    if (offset == 0 && size == 0) return WalkedFile{kSignatureHeader, CarveCheck::Complete, {}};
    std::int64_t header_at, end;
    if (offset > static_cast<std::uint64_t>(INT64_MAX) || size > static_cast<std::uint64_t>(INT64_MAX) || size == 0 ||
        AddOverflows(kSignatureHeader, static_cast<std::int64_t>(offset), header_at) ||
        AddOverflows(header_at, static_cast<std::int64_t>(size), end))
        return std::nullopt;
    if (end > in.Size()) return WalkedFile{in.Size(), CarveCheck::Incomplete, {}};
    const auto kind = in.Byte(header_at);
    const auto actual = Crc32Of(in, header_at, static_cast<std::int64_t>(size));
    const bool whole = kind && (*kind == kHeader || *kind == kEncodedHeader) && actual == crc;
    return WalkedFile{end, whole ? CarveCheck::Complete : CarveCheck::Incomplete, {}};
}

}  // namespace verandol
