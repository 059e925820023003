#include "carve/formats/jpeg_scan.h"

#include <algorithm>

namespace verandol {

bool BuildHuffmanTable(const std::uint8_t* counts, const std::uint8_t* values, std::size_t value_count,
                       HuffmanTable& table) {
    table = HuffmanTable{};
    std::int32_t code = 0;
    std::size_t index = 0;
    for (int length = 1; length <= 16; ++length) {
        const std::int32_t n = counts[length - 1];
        table.first_code[length] = code;
        table.first_value[length] = static_cast<std::int32_t>(index);
        table.max_code[length] = n ? code + n - 1 : -1;
        code += n;
        index += static_cast<std::size_t>(n);
        // More codes of this length than the bits can tell apart.
        if (code > (1 << length) || index > value_count) return false;
        code <<= 1;
    }
    std::copy(values, values + index, table.values.begin());
    table.present = true;
    return true;
}

namespace {

// Bits of entropy-coded data, stuffed zeros removed; stops at a marker.
class BitReader {
public:
    BitReader(CarveReader& in, std::int64_t at) : in_(in), at_(at) {}

    // The next bit, or -1 at a marker or the end.
    int Bit() {
        if (left_ == 0 && !Fill()) return -1;
        --left_;
        return (byte_ >> left_) & 1;
    }
    std::optional<std::uint32_t> Bits(int n) {
        std::uint32_t value = 0;
        for (int i = 0; i < n; ++i) {
            const int bit = Bit();
            if (bit < 0) return std::nullopt;
            value = value << 1 | static_cast<std::uint32_t>(bit);
        }
        return value;
    }
    // Drops the rest of the byte: padding before a marker.
    void Align() { left_ = 0; }
    // The offset of the next byte not yet taken.
    std::int64_t At() const { return at_; }
    // Takes restart marker RSTn at the current byte; false when it is not there.
    bool Restart(int n) {
        const auto marker = in_.Byte(at_);
        const auto kind = in_.Byte(at_ + 1);
        if (marker != 0xFF || kind != 0xD0 + n) return false;
        at_ += 2;
        return true;
    }

private:
    bool Fill() {
        const auto b = in_.Byte(at_);
        if (!b) return false;
        if (*b == 0xFF) {
            if (in_.Byte(at_ + 1) != 0) return false;  // a marker: the data ends here
            ++at_;
        }
        ++at_;
        byte_ = *b;
        left_ = 8;
        return true;
    }
    CarveReader& in_;
    std::int64_t at_;
    std::uint8_t byte_ = 0;
    int left_ = 0;
};

// One Huffman value; -1 when no code of the table matches.
int Decode(BitReader& bits, const HuffmanTable& table) {
    std::int32_t code = 0;
    for (int length = 1; length <= 16; ++length) {
        const int bit = bits.Bit();
        if (bit < 0) return -1;
        code = code << 1 | bit;
        if (code <= table.max_code[length])
            return table.values[static_cast<std::size_t>(table.first_value[length] + code - table.first_code[length])];
    }
    return -1;
}

bool Block(BitReader& bits, const HuffmanTable& dc, const HuffmanTable& ac, int max_bits) {
    const int size = Decode(bits, dc);
    if (size < 0 || size > max_bits + 1 || !bits.Bits(size)) return false;
    for (int k = 1; k < 64;) {
        const int rs = Decode(bits, ac);
        if (rs < 0) return false;
        const int run = rs >> 4, bits_n = rs & 15;
        if (bits_n == 0) {
            if (run != 15) return true;  // end of block
            k += 16;
            continue;
        }
        k += run;
        if (k > 63 || bits_n > max_bits || !bits.Bits(bits_n)) return false;
        ++k;
    }
    return true;
}

std::uint32_t CeilDiv(std::uint32_t a, std::uint32_t b) { return (a + b - 1) / b; }

}  // namespace

std::optional<std::int64_t> CheckSequentialScan(CarveReader& in, std::int64_t at, const JpegFrame& frame,
                                                const JpegScan& scan, const JpegTables& tables) {
    if (frame.count == 0 || scan.count == 0 || frame.width == 0 || frame.height == 0) return std::nullopt;
    std::uint32_t h_max = 1, v_max = 1;
    for (std::size_t i = 0; i < frame.count; ++i) {
        h_max = std::max<std::uint32_t>(h_max, frame.components[i].h);
        v_max = std::max<std::uint32_t>(v_max, frame.components[i].v);
    }
    for (std::size_t i = 0; i < scan.count; ++i) {
        const JpegScan::Component& c = scan.components[i];
        if (c.frame_index >= frame.count || c.dc > 3 || c.ac > 3 || !tables.dc[c.dc].present ||
            !tables.ac[c.ac].present)
            return std::nullopt;
    }
    // A scan of one component covers its own blocks; an interleaved one whole MCUs.
    std::uint64_t units;
    if (scan.count == 1) {
        const JpegFrame::Component& c = frame.components[scan.components[0].frame_index];
        units = std::uint64_t{CeilDiv(CeilDiv(frame.width * c.h, h_max), 8)} *
                CeilDiv(CeilDiv(frame.height * c.v, v_max), 8);
    } else {
        units = std::uint64_t{CeilDiv(frame.width, 8 * h_max)} * CeilDiv(frame.height, 8 * v_max);
    }
    // Coefficient sizes grow with the sample precision: 11 bits for 8-bit samples.
    const int max_bits = frame.precision == 12 ? 14 : 10;
    BitReader bits(in, at);
    int next_restart = 0;
    for (std::uint64_t unit = 0; unit < units; ++unit) {
        if (tables.restart_interval && unit > 0 && unit % tables.restart_interval == 0) {
            bits.Align();
            if (!bits.Restart(next_restart)) return std::nullopt;
            next_restart = (next_restart + 1) % 8;
        }
        for (std::size_t i = 0; i < scan.count; ++i) {
            const JpegScan::Component& c = scan.components[i];
            const JpegFrame::Component& f = frame.components[c.frame_index];
            const std::uint32_t blocks = scan.count == 1 ? 1 : std::uint32_t{f.h} * f.v;
            for (std::uint32_t b = 0; b < blocks; ++b)
                if (!Block(bits, tables.dc[c.dc], tables.ac[c.ac], max_bits)) return std::nullopt;
        }
    }
    // The last byte is padded with ones; a marker follows (fill bytes allowed).
    bits.Align();
    std::int64_t end = bits.At();
    if (in.Byte(end) != 0xFF) return std::nullopt;
    while (in.Byte(end + 1) == 0xFF) ++end;
    const auto marker = in.Byte(end + 1);
    if (!marker || *marker == 0 || (*marker >= 0xD0 && *marker <= 0xD7)) return std::nullopt;
    return end;
}

}  // namespace verandol
