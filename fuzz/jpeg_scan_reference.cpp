#include "fuzz/jpeg_scan_reference.h"

#include <algorithm>
#include <array>

namespace verandol::fuzz {

namespace {

// Bits of entropy-coded data, stuffed zeros removed; stops at a marker.
// Up to eight bytes are held ahead in an accumulator, read from the carve
// reader a window at a time.
class BitReader {
public:
    BitReader(CarveReader& in, std::int64_t at) : in_(in), next_(at) {}

    // The next `n` (at most 16) bits without taking them, zeros past the
    // data's end; Available() says how many are real.
    std::uint32_t Peek(int n) {
        if (count_ < n) Fill();
        const std::uint64_t bits = count_ >= n ? acc_ >> (count_ - n) : acc_ << (n - count_);
        return static_cast<std::uint32_t>(bits & ((std::uint64_t{1} << n) - 1));
    }
    int Available() const { return count_; }
    void Skip(int n) { count_ -= n; }
    // Takes `n` (at most 32) bits unseen: a coefficient's magnitude, which
    // only has to be there. False when the data ends first.
    bool Drop(int n) {
        if (count_ < n) Fill();
        if (count_ < n) return false;
        count_ -= n;
        return true;
    }
    // Drops the rest of the byte: padding before a marker. The whole bytes
    // held ahead are given back.
    void Align() {
        const int whole = count_ / 8;
        if (whole > 0) next_ = starts_[(loaded_ - static_cast<std::uint64_t>(whole)) % 8];
        count_ = 0;
        acc_ = 0;
        marker_ = false;
    }
    // The offset of the next byte not yet taken (wholly).
    std::int64_t At() const {
        const int whole = count_ / 8;
        return whole > 0 ? starts_[(loaded_ - static_cast<std::uint64_t>(whole)) % 8] : next_;
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
    std::optional<std::uint8_t> Byte(std::int64_t offset) {
        if (offset < window_at_ || offset >= window_at_ + static_cast<std::int64_t>(window_.size())) {
            window_ = in_.Window(offset, CarveReader::kWindowBytes);
            window_at_ = offset;
            if (window_.empty()) return std::nullopt;
        }
        return window_[static_cast<std::size_t>(offset - window_at_)];
    }
    void Fill() {
        while (count_ <= 56 && !marker_) {
            const auto b = Byte(next_);
            if (!b) {
                marker_ = true;  // the end: nothing more to load
                return;
            }
            const std::int64_t start = next_;
            if (*b == 0xFF) {
                const auto after = Byte(next_ + 1);
                if (after != 0) {
                    marker_ = true;  // a marker: the data ends here
                    return;
                }
                ++next_;
            }
            ++next_;
            acc_ = acc_ << 8 | *b;
            count_ += 8;
            starts_[loaded_++ % 8] = start;
        }
    }

    CarveReader& in_;
    std::int64_t next_;  // the next byte to load
    ByteSpan window_;
    std::int64_t window_at_ = 0;
    std::uint64_t acc_ = 0;
    int count_ = 0;
    bool marker_ = false;
    // Where the last eight bytes loaded began, by load count modulo eight.
    std::array<std::int64_t, 8> starts_{};
    std::uint64_t loaded_ = 0;
};

// One Huffman value; -1 when no code of the table matches. Canonical
// decoding, length by length: none of the lookup table the checker uses.
int Decode(BitReader& bits, const HuffmanTable& table) {
    const std::uint32_t ahead = bits.Peek(16);
    for (int length = 1; length <= 16 && length <= bits.Available(); ++length) {
        const auto code = static_cast<std::int32_t>(ahead >> (16 - length));
        if (code <= table.max_code[length]) {
            bits.Skip(length);
            return table.values[static_cast<std::size_t>(table.first_value[length] + code - table.first_code[length])];
        }
    }
    return -1;
}

bool Block(BitReader& bits, const HuffmanTable& dc, const HuffmanTable& ac, int max_bits) {
    const int size = Decode(bits, dc);
    if (size < 0 || size > max_bits + 1 || !bits.Drop(size)) return false;
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
        if (k > 63 || bits_n > max_bits || !bits.Drop(bits_n)) return false;
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

std::optional<std::int64_t> ReferenceSequentialScan(CarveReader& in, std::int64_t at, const JpegFrame& frame,
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

}  // namespace verandol::fuzz
