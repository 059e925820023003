#include "carve/formats/rar.h"

#include <cstring>
#include <vector>

#include "carve/formats/chunk_crc.h"
#include "ntfs/checked_math.h"

namespace verandol {

namespace {

constexpr std::uint8_t kSignature4[7] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};
constexpr std::uint8_t kSignature5[8] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x01, 0x00};

// How a walk ends: at the end block (`closed`), or cut at `at`.
struct Walked {
    std::int64_t at = 0;
    bool closed = false;
    bool covered = true;   // every byte so far under a CRC that matched
    bool damaged = false;  // a stored file's data failed its CRC
    int blocks = 0;
};

WalkResult Result(const Walked& w) {
    // A signature whose first header fails is no archive.
    if (w.blocks == 0) return std::nullopt;
    if (!w.closed || w.damaged) return WalkedFile{w.at, CarveCheck::Incomplete, {}};
    return WalkedFile{w.at, w.covered ? CarveCheck::Verified : CarveCheck::Complete, {}};
}

// Weighs a file's data: stored under a CRC, it is checked; otherwise no CRC read here covers it.
void CheckData(Walked& w, CarveReader& in, std::int64_t at, std::int64_t size, std::optional<std::uint32_t> stored_crc) {
    if (size == 0) return;
    if (!stored_crc) w.covered = false;
    else if (Crc32Of(in, at, size) != *stored_crc) w.damaged = true;
}

// RAR 4: blocks of CRC16, type, flags, header size, then (flagged) a data size.
WalkResult WalkRar4(CarveReader& in) {
    constexpr std::uint8_t kArchive = 0x73, kFile = 0x74, kEnd = 0x7B;
    constexpr std::uint16_t kHasData = 0x8000, kLarge = 0x100, kEncryptedHeaders = 0x80;
    constexpr std::uint16_t kSplit = 0x03, kEncryptedFile = 0x04;
    Walked w{7, false, true, 0};
    while (true) {
        const auto crc = in.Le16(w.at);
        const auto type = in.Byte(w.at + 2);
        const auto flags = in.Le16(w.at + 3);
        const auto size = in.Le16(w.at + 5);
        if (!crc || !type || !flags || !size || *size < 7 || *type < 0x72 || *type > kEnd) return Result(w);
        if ((w.blocks == 0) != (*type == kArchive)) return Result(w);
        const auto actual = Crc32Of(in, w.at + 2, *size - 2);
        if (!actual || (*actual & 0xFFFF) != *crc) return Result(w);
        std::int64_t data = 0;
        if (*type == kFile || (*flags & kHasData)) {
            const auto low = in.Le32(w.at + 7);
            if (!low || *size < 11) return Result(w);
            data = *low;
            if (*type == kFile && (*flags & kLarge)) {
                const auto high = in.Le32(w.at + 32);
                if (!high || *size < 36) return Result(w);
                data |= std::int64_t{*high} << 32;
            }
        }
        const std::int64_t data_at = w.at + *size;
        std::int64_t next;
        if (AddOverflows(data_at, data, next) || next > in.Size()) return Result(w);
        if (*type == kFile) {
            const auto file_crc = in.Le32(w.at + 16);
            const auto method = in.Byte(w.at + 25);
            const bool stored = method == 0x30 && !(*flags & (kSplit | kEncryptedFile));
            CheckData(w, in, data_at, data, stored ? file_crc : std::nullopt);
        } else if (*type != kArchive && *type != kEnd) {
            // Comments, recovery records, subblocks: their data is not checked here.
            if (data != 0) w.covered = false;
        }
        ++w.blocks;
        w.at = next;
        if (*type == kArchive && (*flags & kEncryptedHeaders)) {
            // What follows is encrypted: nothing more can be walked.
            return Result(w);
        }
        if (*type == kEnd) {
            w.closed = true;
            return Result(w);
        }
    }
}

// RAR 5's variable-length integers: seven bits a byte, low first.
std::optional<std::uint64_t> ReadVint(ByteSpan b, std::size_t& at) {
    std::uint64_t value = 0;
    for (int shift = 0; shift < 64 && at < b.size(); shift += 7) {
        const std::uint8_t byte = b[at++];
        value |= std::uint64_t{byte & 0x7Fu} << shift;
        if (!(byte & 0x80)) return value;
    }
    return std::nullopt;
}

// Whether an extra area (records of size, type, data) holds a record of `type`;
// true too when the area cannot be read, so nothing unread is trusted.
bool HasRecord(ByteSpan extra, std::uint64_t type) {
    for (std::size_t at = 0; at < extra.size();) {
        const auto size = ReadVint(extra, at);
        const std::size_t start = at;
        const auto kind = ReadVint(extra, at);
        if (!size || !kind || *size == 0 || *size > extra.size() - start) return true;
        if (*kind == type) return true;
        at = start + static_cast<std::size_t>(*size);
    }
    return false;
}

WalkResult WalkRar5(CarveReader& in) {
    constexpr std::uint64_t kMain = 1, kFile = 2, kService = 3, kEncryption = 4, kEnd = 5;
    constexpr std::uint64_t kHasExtra = 1, kHasData = 2, kSplit = 0x18;
    constexpr std::uint64_t kFileHasTime = 2, kFileHasCrc = 4, kEncryptionRecord = 1;
    // The format caps a header at 2 MiB.
    constexpr std::uint64_t kMaxHeader = 2 << 20;
    Walked w{8, false, true, 0};
    std::vector<std::uint8_t> header;
    while (true) {
        const auto crc = in.Le32(w.at);
        const ByteSpan size_bytes = in.Window(w.at + 4, 3);
        std::size_t size_length = 0;
        const auto size = ReadVint(size_bytes, size_length);
        if (!crc || !size || *size == 0 || *size > kMaxHeader) return Result(w);
        const std::int64_t header_at = w.at + 4 + static_cast<std::int64_t>(size_length);
        header.resize(static_cast<std::size_t>(*size));
        if (!in.Read(header_at, header)) return Result(w);
        const auto actual = Crc32Of(in, w.at + 4, static_cast<std::int64_t>(size_length + *size));
        if (actual != *crc) return Result(w);
        std::size_t p = 0;
        const auto type = ReadVint(header, p);
        const auto flags = ReadVint(header, p);
        if (!type || !flags || *type < kMain || *type > kEnd || (w.blocks == 0) != (*type == kMain)) return Result(w);
        std::uint64_t extra = 0, data = 0;
        if (*flags & kHasExtra) extra = ReadVint(header, p).value_or(~std::uint64_t{0});
        if (*flags & kHasData) data = ReadVint(header, p).value_or(~std::uint64_t{0});
        if (extra > header.size() || data > static_cast<std::uint64_t>(INT64_MAX)) return Result(w);
        const std::int64_t data_at = header_at + static_cast<std::int64_t>(*size);
        std::int64_t next;
        if (AddOverflows(data_at, static_cast<std::int64_t>(data), next) || next > in.Size()) return Result(w);
        if (*type == kFile || *type == kService) {
            const auto file_flags = ReadVint(header, p);
            (void)ReadVint(header, p);  // unpacked size
            (void)ReadVint(header, p);  // attributes
            if (file_flags && (*file_flags & kFileHasTime)) p += 4;
            std::optional<std::uint32_t> data_crc;
            if (file_flags && (*file_flags & kFileHasCrc) && p + 4 <= header.size()) data_crc = read_le32(header, p);
            if (file_flags && (*file_flags & kFileHasCrc)) p += 4;
            const auto compression = ReadVint(header, p);
            // Method 0 stores, unless the extra area holds an encryption record.
            const bool stored = compression && ((*compression >> 7) & 7) == 0 && !(*flags & kSplit) &&
                                !HasRecord(ByteSpan(header).last(static_cast<std::size_t>(extra)), kEncryptionRecord);
            CheckData(w, in, data_at, static_cast<std::int64_t>(data), stored ? data_crc : std::nullopt);
        } else if (data != 0) {
            w.covered = false;
        }
        ++w.blocks;
        w.at = next;
        if (*type == kEncryption) return Result(w);  // the headers after it are encrypted
        if (*type == kEnd) {
            w.closed = true;
            return Result(w);
        }
    }
}

}  // namespace

bool RarStarts(ByteSpan head) {
    // RAR 4: the archive header's block type after the marker; RAR 5: the
    // main header's type after its CRC and size.
    if (head.size() >= 10 && std::memcmp(head.data(), kSignature4, 7) == 0) return head[9] == 0x73;
    return head.size() >= 16 && std::memcmp(head.data(), kSignature5, 8) == 0 && head[12] != 0 && !(head[12] & 0x80) &&
           head[13] == 1;
}

WalkResult WalkRar(CarveReader& in) {
    const ByteSpan head = in.Window(0, 16);
    if (!RarStarts(head)) return std::nullopt;
    return head[6] == 0 ? WalkRar4(in) : WalkRar5(in);
}

}  // namespace verandol
