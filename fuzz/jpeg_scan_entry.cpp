#include "fuzz/jpeg_scan_entry.h"

#include "carve/formats/jpeg_scan.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/jpeg_scan_reference.h"

namespace verandol::fuzz {

namespace {

// Takes a segment's body into frame, tables or scan; false when the input
// holds nothing a scan could be checked with.
bool Learn(std::uint8_t marker, ByteSpan b, JpegFrame& frame, JpegTables& tables, JpegScan& scan) {
    if (marker == 0xC0 || marker == 0xC1) {
        if (b.size() < 6 || b[5] < 1 || b[5] > 4 || b.size() < 6 + 3 * std::size_t{b[5]}) return false;
        frame.precision = b[0];
        frame.height = std::uint32_t{b[1]} << 8 | b[2];
        frame.width = std::uint32_t{b[3]} << 8 | b[4];
        frame.count = b[5];
        for (std::size_t i = 0; i < frame.count; ++i) {
            frame.components[i] = {b[6 + 3 * i], static_cast<std::uint8_t>(b[7 + 3 * i] >> 4),
                                   static_cast<std::uint8_t>(b[7 + 3 * i] & 15)};
            const auto& c = frame.components[i];
            if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4) return false;
        }
    } else if (marker == 0xC4) {
        for (std::size_t at = 0; at < b.size();) {
            if (b.size() - at < 17 || (b[at] >> 4) > 1 || (b[at] & 15) > 3) return false;
            std::size_t codes = 0;
            for (std::size_t i = 1; i <= 16; ++i) codes += b[at + i];
            if (codes > 256 || b.size() - at - 17 < codes) return false;
            auto& table = (b[at] >> 4) == 0 ? tables.dc[b[at] & 15] : tables.ac[b[at] & 15];
            if (!BuildHuffmanTable(b.data() + at + 1, b.data() + at + 17, codes, table)) return false;
            at += 17 + codes;
        }
    } else if (marker == 0xDD) {
        if (b.size() < 2) return false;
        tables.restart_interval = std::uint32_t{b[0]} << 8 | b[1];
    } else if (marker == 0xDA) {
        if (b.empty() || b[0] < 1 || b[0] > 4 || b.size() < 1 + 2 * std::size_t{b[0]}) return false;
        scan.count = b[0];
        for (std::size_t i = 0; i < scan.count; ++i) {
            std::size_t index = 0;
            while (index < frame.count && frame.components[index].id != b[1 + 2 * i]) ++index;
            // Out of range on purpose when no frame component matches: the checkers refuse it alike.
            scan.components[i] = {index, static_cast<std::uint8_t>(b[2 + 2 * i] >> 4),
                                  static_cast<std::uint8_t>(b[2 + 2 * i] & 15)};
        }
    }
    return true;
}

}  // namespace

void FuzzJpegScan(ByteSpan input) {
    JpegFrame frame;
    JpegTables tables;
    JpegScan scan;
    std::size_t at = 2;  // past SOI, whatever it is
    while (true) {
        if (input.size() < at + 4 || input[at] != 0xFF) return;
        const std::uint8_t marker = input[at + 1];
        const std::size_t length = std::size_t{input[at + 2]} << 8 | input[at + 3];
        if (length < 2 || input.size() - at - 2 < length) return;
        if (!Learn(marker, input.subspan(at + 4, length - 2), frame, tables, scan)) return;
        at += 2 + length;
        if (marker == 0xDA) break;
    }
    BorrowedVolume volume(input);
    std::int64_t fast_failed = -1, plain_failed = -1;
    CarveReader fast_reader(volume, 0, volume.Size());
    const auto fast = CheckSequentialScan(fast_reader, static_cast<std::int64_t>(at), frame, scan, tables, &fast_failed);
    CarveReader plain_reader(volume, 0, volume.Size());
    const auto plain =
        ReferenceSequentialScan(plain_reader, static_cast<std::int64_t>(at), frame, scan, tables, &plain_failed);
    VERANDOL_FUZZ_CHECK(fast == plain);
    VERANDOL_FUZZ_CHECK(fast_failed == plain_failed);
}

}  // namespace verandol::fuzz
