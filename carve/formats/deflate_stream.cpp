#include "carve/formats/deflate_stream.h"

#include <algorithm>
#include <memory>

#include <zlib.h>

#include "carve/formats/chunk_crc.h"

namespace verandol {

std::optional<InflatedStream> InflateRaw(CarveReader& in, std::int64_t offset, std::uint64_t max_output) {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) return std::nullopt;
    const std::unique_ptr<z_stream, int (*)(z_stream*)> ender(&z, inflateEnd);
    constexpr std::size_t kOut = 64 << 10;
    const auto out = std::make_unique<std::uint8_t[]>(kOut);
    InflatedStream result;
    std::int64_t at = offset;
    while (true) {
        const ByteSpan input = in.Window(at, CarveReader::kWindowBytes);
        if (input.empty()) break;  // the reader's end before the last block
        z.next_in = const_cast<Bytef*>(input.data());
        z.avail_in = static_cast<uInt>(input.size());
        int status = Z_OK;
        while (status == Z_OK && (z.avail_in > 0 || z.avail_out == 0)) {
            z.next_out = out.get();
            z.avail_out = kOut;
            status = inflate(&z, Z_NO_FLUSH);
            const std::size_t made = kOut - z.avail_out;
            result.crc = Crc32Update(result.crc, ByteSpan(out.get(), made));
            result.size += made;
            if (result.size > max_output) status = Z_DATA_ERROR;
            if (status == Z_BUF_ERROR && made > 0) status = Z_OK;
        }
        at += static_cast<std::int64_t>(input.size() - z.avail_in);
        if (status == Z_STREAM_END) {
            result.finished = true;
            break;
        }
        if (status != Z_OK && status != Z_BUF_ERROR) break;
        if (z.avail_in > 0) break;  // no progress with input left
    }
    result.end = at;
    return result;
}

}  // namespace verandol
