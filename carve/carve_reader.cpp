#include "carve/carve_reader.h"

#include <algorithm>
#include <cstring>

#include "ntfs/checked_math.h"

namespace verandol {

namespace {

// Each fetch from the volume: four windows, so a walker stepping forward
// through a file costs one read per megabyte. The first fetches are
// smaller, growing twofold: most files, and most starts that turn out to be
// none, end within a few clusters.
constexpr std::size_t kBlockBytes = 4 * CarveReader::kWindowBytes;
constexpr std::size_t kFirstBlockBytes = 64 << 10;

}  // namespace

CarveReader::CarveReader(ByteSource& volume, std::int64_t start, std::int64_t limit)
    : volume_(volume), start_(start), limit_(limit) {
    const std::int64_t left = start >= 0 && start < volume.Size() ? volume.Size() - start : 0;
    size_ = std::clamp<std::int64_t>(limit, 0, left);
}

void CarveReader::SkipAt(std::int64_t at, std::int64_t bytes) {
    const std::int64_t left = start_ >= 0 && start_ < volume_.Size() ? volume_.Size() - start_ : 0;
    if (at < 0 || bytes < 0 || at > left || bytes > left - at) {
        // A gap past the volume's end leaves nothing after it.
        gap_at_ = 0;
        gap_bytes_ = 0;
        size_ = std::clamp<std::int64_t>(std::min(limit_, at), 0, left);
    } else {
        gap_at_ = at;
        gap_bytes_ = bytes;
        size_ = std::clamp<std::int64_t>(limit_, 0, left - bytes);
    }
    block_at_ = -1;
    block_len_ = 0;
}

void CarveReader::FetchPiece(std::int64_t offset, std::size_t length, std::size_t into) {
    std::vector<UnreadRange> unread;
    const std::int64_t position = VolumePosition(offset);
    const std::size_t got = volume_.ReadAround(position, MutableByteSpan(block_.data() + into, length), unread);
    // Past what the volume delivered nothing is promised: zeros, noted as unread.
    if (got < length) {
        std::memset(block_.data() + into + got, 0, length - got);
        unread.push_back({position + static_cast<std::int64_t>(got), static_cast<std::int64_t>(length - got)});
    }
    for (const UnreadRange& r : unread)
        if (std::none_of(unread_.begin(), unread_.end(), [&](const UnreadRange& known) { return known == r; }))
            unread_.push_back(r);
}

void CarveReader::Fetch(std::int64_t offset, std::size_t length) {
    const auto end = offset + static_cast<std::int64_t>(length);
    if (gap_bytes_ > 0 && offset < gap_at_ && gap_at_ < end) {
        const auto before = static_cast<std::size_t>(gap_at_ - offset);
        FetchPiece(offset, before, 0);
        FetchPiece(gap_at_, length - before, before);
    } else {
        FetchPiece(offset, length, 0);
    }
    block_at_ = offset;
    block_len_ = length;
    fetched_ += static_cast<std::int64_t>(length);
}

ByteSpan CarveReader::Window(std::int64_t offset, std::size_t want) {
    if (offset < 0 || offset >= size_ || stopped_) return {};
    want = std::min<std::size_t>({want, kWindowBytes, static_cast<std::size_t>(size_ - offset)});
    const std::int64_t end = offset + static_cast<std::int64_t>(want);
    if (gap_bytes_ == 0 || end <= gap_at_) {
        const auto first = static_cast<std::int64_t>(preloaded_.size());
        if (end <= first) return preloaded_.subspan(static_cast<std::size_t>(offset), want);
        if (offset >= first && end - first <= static_cast<std::int64_t>(more_.size()))
            return more_.subspan(static_cast<std::size_t>(offset - first), want);
        // Across the two: joined in the block, not read again.
        if (offset < first && end - first <= static_cast<std::int64_t>(more_.size())) {
            if (block_.size() < want) block_.resize(want);
            const auto head = static_cast<std::size_t>(first - offset);
            std::memcpy(block_.data(), preloaded_.data() + offset, head);
            std::memcpy(block_.data() + head, more_.data(), want - head);
            block_at_ = offset;
            block_len_ = want;
            return ByteSpan(block_.data(), want);
        }
    }
    if (block_at_ < 0 || offset < block_at_ ||
        offset - block_at_ + static_cast<std::int64_t>(want) > static_cast<std::int64_t>(block_len_)) {
        if (stop_ && stop_()) {
            stopped_ = true;
            return {};
        }
        const std::size_t grown = block_len_ == 0 ? kFirstBlockBytes : std::min(2 * block_len_, kBlockBytes);
        const auto length = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(std::max(want, grown)), size_ - offset));
        if (block_.size() < length) block_.resize(length);
        Fetch(offset, length);
    }
    return ByteSpan(block_.data() + (offset - block_at_), want);
}

bool CarveReader::Read(std::int64_t offset, MutableByteSpan out) {
    std::int64_t end;
    if (offset < 0 || AddOverflows(offset, static_cast<std::int64_t>(out.size()), end) || end > size_) return false;
    std::size_t done = 0;
    while (done < out.size()) {
        const ByteSpan piece = Window(offset + static_cast<std::int64_t>(done), out.size() - done);
        if (piece.empty()) return false;
        std::memcpy(out.data() + done, piece.data(), piece.size());
        done += piece.size();
    }
    return true;
}

std::optional<std::uint8_t> CarveReader::Byte(std::int64_t offset) {
    const ByteSpan b = Window(offset, 1);
    if (b.empty()) return std::nullopt;
    return b[0];
}

std::optional<std::uint16_t> CarveReader::Le16(std::int64_t offset) { return read_le16(Window(offset, 2), 0); }
std::optional<std::uint32_t> CarveReader::Le32(std::int64_t offset) { return read_le32(Window(offset, 4), 0); }
std::optional<std::uint64_t> CarveReader::Le64(std::int64_t offset) { return read_le64(Window(offset, 8), 0); }

std::optional<std::uint16_t> CarveReader::Be16(std::int64_t offset) {
    const ByteSpan b = Window(offset, 2);
    if (b.size() < 2) return std::nullopt;
    return static_cast<std::uint16_t>(b[0] << 8 | b[1]);
}

std::optional<std::uint32_t> CarveReader::Be32(std::int64_t offset) {
    const ByteSpan b = Window(offset, 4);
    if (b.size() < 4) return std::nullopt;
    return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3];
}

bool CarveReader::Matches(std::int64_t offset, std::string_view text) {
    const ByteSpan b = Window(offset, text.size());
    return b.size() == text.size() && std::memcmp(b.data(), text.data(), text.size()) == 0;
}

std::optional<std::int64_t> CarveReader::Find(std::int64_t from, std::int64_t to, std::string_view text) {
    to = std::min(to, size_);
    if (text.empty() || text.size() > kWindowBytes / 2) return std::nullopt;
    const auto n = static_cast<std::int64_t>(text.size());
    // Windows overlap by the text's length less one, so no match is cut.
    for (std::int64_t at = std::max<std::int64_t>(from, 0); at + n <= to;) {
        const ByteSpan w = Window(at, static_cast<std::size_t>(std::min<std::int64_t>(kWindowBytes, to - at)));
        if (static_cast<std::int64_t>(w.size()) < n) return std::nullopt;
        const void* hit = ::memmem(w.data(), w.size(), text.data(), text.size());
        if (hit) return at + (static_cast<const std::uint8_t*>(hit) - w.data());
        at += static_cast<std::int64_t>(w.size()) - (n - 1);
    }
    return std::nullopt;
}

}  // namespace verandol
