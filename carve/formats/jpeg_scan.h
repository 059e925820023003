// The entropy-coded data of a sequential Huffman JPEG scan, decoded block
// by block without making pixels: every code must be one of the scan's
// tables, every block must end within its 64 coefficients, restart markers
// must come where the interval puts them, and the scan must hold exactly
// the frame's number of blocks. Bytes of another file (text, another
// photo) in the middle of a photo fail these, although their bytes are as
// free of markers as the photo's own.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "carve/carve_reader.h"

namespace verandol {

struct HuffmanTable {
    bool present = false;
    // Canonical decoding: for each code length, the largest code (-1 when
    // none) and where its values begin.
    std::array<std::int32_t, 17> max_code{};
    std::array<std::int32_t, 17> first_code{};
    std::array<std::int32_t, 17> first_value{};
    std::array<std::uint8_t, 256> values{};
    // The codes of up to kFastBits bits, looked up by the next kFastBits
    // bits: length << 8 | value, 0 where the code is longer (or none).
    // Eleven bits hold nearly every code a photo's tables use.
    static constexpr int kFastBits = 11;
    std::array<std::uint16_t, 1 << kFastBits> fast{};
    // For AC tables: the coefficients coded wholly within the next
    // kFastBits bits, magnitudes included, taken in one step. Bits taken
    // (0: not even one) | coefficients passed << 4 | ends the block << 11.
    // Stops before a run of sixteen zeros or a magnitude over 10 bits,
    // which the checker looks at one by one.
    std::array<std::uint16_t, 1 << kFastBits> runs{};
};

// Builds a table from a DHT's 16 counts and its values; false when the
// counts claim more codes than lengths allow.
bool BuildHuffmanTable(const std::uint8_t* counts, const std::uint8_t* values, std::size_t value_count,
                       HuffmanTable& table);

struct JpegFrame {
    std::uint32_t width = 0, height = 0;
    std::uint8_t precision = 8;
    struct Component {
        std::uint8_t id = 0, h = 1, v = 1;
    };
    std::array<Component, 4> components{};
    std::size_t count = 0;
};

struct JpegScan {
    struct Component {
        std::size_t frame_index = 0;
        std::uint8_t dc = 0, ac = 0;  // table ids
    };
    std::array<Component, 4> components{};
    std::size_t count = 0;
};

struct JpegTables {
    std::array<HuffmanTable, 4> dc{}, ac{};
    std::uint32_t restart_interval = 0;
};

// Decodes the scan whose data begins at `at`; the offset of the marker
// after it, or nullopt when the data is not this scan's. Then `failed_at`,
// when given, is the offset of the byte the decoding had reached.
std::optional<std::int64_t> CheckSequentialScan(CarveReader& in, std::int64_t at, const JpegFrame& frame,
                                                const JpegScan& scan, const JpegTables& tables,
                                                std::int64_t* failed_at = nullptr);

}  // namespace verandol
