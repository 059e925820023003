#include "carve/formats/jpeg_scan.h"

#include <algorithm>
#include <array>
#include <bit>

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
    for (int length = 1; length <= HuffmanTable::kFastBits; ++length) {
        const int spare = HuffmanTable::kFastBits - length;
        for (std::int32_t c = table.first_code[length]; c <= table.max_code[length]; ++c) {
            const std::int32_t at = table.first_value[length] + c - table.first_code[length];
            const auto entry = static_cast<std::uint16_t>(length << 8 | table.values[static_cast<std::size_t>(at)]);
            for (std::int32_t tail = 0; tail < (1 << spare); ++tail)
                table.fast[static_cast<std::size_t>(c << spare | tail)] = entry;
        }
    }
    for (std::uint32_t ahead = 0; ahead < table.runs.size(); ++ahead) {
        int used = 0, passed = 0;
        bool ends = false;
        while (true) {
            // Zeros shifted in past the known bits: a code within them is found whole or not at all.
            const std::uint16_t fast = table.fast[(ahead << used) & (table.fast.size() - 1)];
            const int length = fast >> 8, run = (fast >> 4) & 15, size = fast & 15;
            if (fast == 0 || used + length > HuffmanTable::kFastBits) break;
            if (size == 0) {
                if (run != 15) {
                    used += length;
                    ends = true;
                }
                break;
            }
            if (size > 10 || used + length + size > HuffmanTable::kFastBits) break;
            used += length + size;
            passed += run + 1;
        }
        table.runs[ahead] = static_cast<std::uint16_t>(used | passed << 4 | (ends ? 1 << 11 : 0));
    }
    table.present = true;
    return true;
}

namespace {

// Bits of entropy-coded data, stuffed zeros removed; stops at a marker.
// Up to eight bytes are held ahead in an accumulator, the next bit highest
// (below the held ones lie zeros or the bits of the bytes that come next,
// never anything else), taken from the carve
// reader's window: seven at once where the next eight hold no 0xFF, one by
// one (undoing the stuffing, stopping at a marker) where they do.
class BitReader {
public:
    BitReader(CarveReader& in, std::int64_t at) : in_(in), next_(at) {}

    // Loads bytes until more than 55 bits are held, or the data has ended.
    void Refill() {
        if (count_ > 55 || end_) return;
        const std::int64_t index = next_ - window_at_;
        if (index >= 0 && static_cast<std::int64_t>(window_.size()) - index >= 8) {
            const std::uint8_t* p = window_.data() + index;
            std::uint64_t word = 0;
            for (int i = 0; i < 8; ++i) word = word << 8 | p[i];
            if (!HasFF(word)) {
                const int bytes = (63 - count_) >> 3;  // 1 to 7
                acc_ |= word >> count_;
                count_ += 8 * bytes;
                stuffed_ <<= bytes;
                next_ += bytes;
                return;
            }
        }
        RefillByBytes();
    }
    // The next `n` (at most 16) bits without taking them, zeros past the
    // data's end; Available() says how many are real.
    std::uint32_t Peek(int n) const { return static_cast<std::uint32_t>(acc_ >> (64 - n)); }
    int Available() const { return count_; }
    // Takes `n` bits: false, taking none, when fewer are held; after a
    // Refill() that is when the data ends first.
    bool Take(int n) {
        if (count_ < n) return false;
        acc_ <<= n;
        count_ -= n;
        return true;
    }
    // Drops the rest of the byte: padding before a marker. The whole bytes
    // held ahead are given back.
    void Align() {
        next_ = At();
        count_ = 0;
        acc_ = 0;
        stuffed_ = 0;
        end_ = false;
    }
    // The offset of the next byte not yet taken (wholly): the next to load
    // less the whole bytes held, two for each that was stuffed.
    std::int64_t At() const {
        const int whole = count_ / 8;
        const auto mask = (std::uint64_t{1} << whole) - 1;
        return next_ - whole - std::popcount(stuffed_ & mask);
    }
    // Takes restart marker RSTn at the current byte; false when it is not there.
    bool Restart(int n) {
        const auto marker = Byte(next_);
        const auto kind = Byte(next_ + 1);
        if (marker != 0xFF || kind != 0xD0 + n) return false;
        next_ += 2;
        return true;
    }

private:
    // True when some byte of `word` is 0xFF.
    static bool HasFF(std::uint64_t word) {
        const std::uint64_t x = ~word;
        return ((x - 0x0101010101010101) & ~x & 0x8080808080808080) != 0;
    }
    std::optional<std::uint8_t> Byte(std::int64_t offset) {
        if (offset < window_at_ || offset >= window_at_ + static_cast<std::int64_t>(window_.size())) {
            window_ = in_.Window(offset, CarveReader::kWindowBytes);
            window_at_ = offset;
            if (window_.empty()) return std::nullopt;
        }
        return window_[static_cast<std::size_t>(offset - window_at_)];
    }
    void RefillByBytes() {
        while (count_ <= 56 && !end_) {
            const auto b = Byte(next_);
            if (!b) {
                end_ = true;  // the end: nothing more to load
                return;
            }
            bool stuffed = false;
            if (*b == 0xFF) {
                const auto after = Byte(next_ + 1);
                if (after != 0) {
                    end_ = true;  // a marker: the data ends here
                    return;
                }
                stuffed = true;
            }
            next_ += stuffed ? 2 : 1;
            acc_ |= std::uint64_t{*b} << (56 - count_);
            count_ += 8;
            stuffed_ = stuffed_ << 1 | (stuffed ? 1 : 0);
        }
    }

    CarveReader& in_;
    std::int64_t next_;  // the next byte to load
    ByteSpan window_;
    std::int64_t window_at_ = 0;
    std::uint64_t acc_ = 0;
    int count_ = 0;
    bool end_ = false;
    // One bit for each byte loaded, the latest lowest: set where it came stuffed (FF 00).
    std::uint64_t stuffed_ = 0;
};

// One Huffman value, its code taken; -1 when no code of the table matches.
// Inlined: it runs once for each coefficient a scan codes. The caller has
// refilled, so every bit the data still has for a code is held.
[[gnu::always_inline]] inline int Decode(BitReader& bits, const HuffmanTable& table) {
    const std::uint16_t fast = table.fast[bits.Peek(HuffmanTable::kFastBits)];
    if (fast != 0) {
        if (!bits.Take(fast >> 8)) return -1;
        return fast & 0xFF;
    }
    const std::uint32_t ahead = bits.Peek(16);
    for (int length = HuffmanTable::kFastBits + 1; length <= 16 && length <= bits.Available(); ++length) {
        const auto code = static_cast<std::int32_t>(ahead >> (16 - length));
        if (code <= table.max_code[length]) {
            bits.Take(length);
            return table.values[static_cast<std::size_t>(table.first_value[length] + code - table.first_code[length])];
        }
    }
    return -1;
}

// A code and the magnitude bits after it need at most 16 + 15 bits.
constexpr int kSymbolBits = 31;

[[gnu::always_inline]] inline bool Block(BitReader& bits, const HuffmanTable& dc, const HuffmanTable& ac,
                                        int max_bits) {
    if (bits.Available() < kSymbolBits) bits.Refill();
    const int size = Decode(bits, dc);
    if (size < 0 || size > max_bits + 1 || !bits.Take(size)) return false;
    for (int k = 1; k < 64;) {
        if (bits.Available() < kSymbolBits) bits.Refill();
        // Whole coefficients at once where they lie within the bits held
        // and stay within the block, as one by one they would.
        const std::uint16_t run = ac.runs[bits.Peek(HuffmanTable::kFastBits)];
        const int used = run & 15, passed = (run >> 4) & 127;
        if (used != 0 && used <= bits.Available()) {
            if (run >> 11) {
                if (k + passed <= 63) return bits.Take(used);
            } else if (k + passed <= 64) {
                bits.Take(used);
                k += passed;
                continue;
            }
        }
        const int rs = Decode(bits, ac);
        if (rs < 0) return false;
        const int zeros = rs >> 4, bits_n = rs & 15;
        if (bits_n == 0) {
            if (zeros != 15) return true;  // end of block
            k += 16;
            continue;
        }
        k += zeros;
        if (k > 63 || bits_n > max_bits || !bits.Take(bits_n)) return false;
        ++k;
    }
    return true;
}

std::uint32_t CeilDiv(std::uint32_t a, std::uint32_t b) { return (a + b - 1) / b; }

std::optional<std::int64_t> Failed(std::int64_t reached, std::int64_t* failed_at) {
    if (failed_at) *failed_at = reached;
    return std::nullopt;
}

}  // namespace

std::optional<std::int64_t> CheckSequentialScan(CarveReader& in, std::int64_t at, const JpegFrame& frame,
                                                const JpegScan& scan, const JpegTables& tables,
                                                std::int64_t* failed_at) {
    if (failed_at) *failed_at = at;
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
            if (!bits.Restart(next_restart)) return Failed(bits.At(), failed_at);
            next_restart = (next_restart + 1) % 8;
        }
        for (std::size_t i = 0; i < scan.count; ++i) {
            const JpegScan::Component& c = scan.components[i];
            const JpegFrame::Component& f = frame.components[c.frame_index];
            const std::uint32_t blocks = scan.count == 1 ? 1 : std::uint32_t{f.h} * f.v;
            for (std::uint32_t b = 0; b < blocks; ++b)
                if (!Block(bits, tables.dc[c.dc], tables.ac[c.ac], max_bits)) return Failed(bits.At(), failed_at);
        }
    }
    // The last byte is padded with ones; a marker follows (fill bytes allowed).
    bits.Align();
    std::int64_t end = bits.At();
    if (in.Byte(end) != 0xFF) return Failed(end, failed_at);
    while (in.Byte(end + 1) == 0xFF) ++end;
    const auto marker = in.Byte(end + 1);
    if (!marker || *marker == 0 || (*marker >= 0xD0 && *marker <= 0xD7)) return Failed(end, failed_at);
    return end;
}

}  // namespace verandol
