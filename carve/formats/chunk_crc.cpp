#include "carve/formats/chunk_crc.h"

#include <algorithm>
#include <climits>

#include <zlib.h>

#include "ntfs/checked_math.h"

namespace verandol {

std::uint32_t Crc32Update(std::uint32_t crc, ByteSpan bytes) {
    uLong value = crc;
    for (std::size_t done = 0; done < bytes.size();) {
        const auto n = static_cast<uInt>(std::min<std::size_t>(bytes.size() - done, UINT_MAX));
        value = crc32(value, bytes.data() + done, n);
        done += n;
    }
    return static_cast<std::uint32_t>(value);
}

std::optional<std::uint32_t> Crc32Of(CarveReader& in, std::int64_t offset, std::int64_t length, std::uint32_t crc) {
    std::int64_t end;
    if (offset < 0 || length < 0 || AddOverflows(offset, length, end) || end > in.Size()) return std::nullopt;
    while (offset < end) {
        const ByteSpan piece =
            in.Window(offset, static_cast<std::size_t>(std::min<std::int64_t>(end - offset, CarveReader::kWindowBytes)));
        if (piece.empty()) return std::nullopt;
        crc = Crc32Update(crc, piece);
        offset += static_cast<std::int64_t>(piece.size());
    }
    return crc;
}

}  // namespace verandol
