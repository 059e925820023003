#include "carve/formats/ole2.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "ntfs/checked_math.h"

namespace verandol {

namespace {

constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::uint32_t kMaxRegular = 0xFFFFFFFA, kEndOfChain = 0xFFFFFFFE, kFree = 0xFFFFFFFF,
                        kFatSector = 0xFFFFFFFD, kDifatSector = 0xFFFFFFFC;
constexpr std::uint32_t kHeaderDifat = 109;
constexpr std::int64_t kEntryBytes = 128;
constexpr std::uint32_t kMiniSector = 64, kMiniCutoff = 4096;
constexpr std::uint8_t kStorage = 1, kStream = 2, kRoot = 5;

struct DirEntry {
    std::string name;  // its ASCII letters; other characters as '?'
    std::uint8_t type = 0;
    std::uint32_t left = kFree, right = kFree, child = kFree;
    std::uint32_t start = kEndOfChain;
    std::uint64_t size = 0;
};

class Compound {
public:
    Compound(CarveReader& in, std::int64_t sector_bytes, bool v3)
        : in_(in), sector_(sector_bytes), v3_(v3), per_sector_(static_cast<std::uint32_t>(sector_bytes / 4)) {}

    // The file allocation table from the header's list of its sectors;
    // false when it cannot all be read or does not mark its own sectors.
    bool ReadFat(std::uint32_t fat_sectors, std::uint32_t first_difat, std::uint32_t difat_sectors) {
        std::vector<std::uint32_t> list;
        for (std::uint32_t i = 0; i < std::min(fat_sectors, kHeaderDifat); ++i) {
            const auto id = in_.Le32(0x4C + 4 * std::int64_t{i});
            if (!id) return false;
            list.push_back(*id);
        }
        std::vector<std::uint32_t> difat;
        for (std::uint32_t d = first_difat, n = 0; list.size() < fat_sectors; ++n) {
            if (n >= difat_sectors || d > kMaxRegular || std::find(difat.begin(), difat.end(), d) != difat.end())
                return false;
            difat.push_back(d);
            for (std::uint32_t i = 0; i + 1 < per_sector_ && list.size() < fat_sectors; ++i) {
                const auto id = in_.Le32(Offset(d) + 4 * std::int64_t{i});
                if (!id) return false;
                list.push_back(*id);
            }
            const auto next = in_.Le32(Offset(d) + 4 * std::int64_t{per_sector_ - 1});
            if (!next) return false;
            d = *next;
        }
        for (const std::uint32_t id : list) Note(id);
        for (const std::uint32_t id : difat) Note(id);
        for (const std::uint32_t id : list) {
            if (id > kMaxRegular) return false;
            const std::int64_t at = Offset(id);
            for (std::uint32_t i = 0; i < per_sector_; ++i) {
                const auto entry = in_.Le32(at + 4 * std::int64_t{i});
                if (!entry) return false;
                fat_.push_back(*entry);
            }
        }
        // The table marks its own sectors and the DIFAT's: a check that a
        // header over unrelated sectors does not pass.
        for (const std::uint32_t id : list)
            if (id >= fat_.size() || fat_[id] != kFatSector) return false;
        for (const std::uint32_t id : difat)
            if (id >= fat_.size() || fat_[id] != kDifatSector) return false;
        for (std::size_t i = 0; i < fat_.size(); ++i) {
            if (fat_[i] == kFree) continue;
            if (fat_[i] <= kMaxRegular && fat_[i] >= fat_.size()) return false;
            Note(static_cast<std::uint32_t>(i));
        }
        claimed_.assign(fat_.size(), false);
        return true;
    }

    // The sectors of the chain from `first`, each claimed once; nullopt when
    // it leaves the table, meets a sector already claimed or runs past `limit`.
    std::optional<std::vector<std::uint32_t>> Chain(std::uint32_t first, std::size_t limit) {
        std::vector<std::uint32_t> chain;
        for (std::uint32_t s = first; s != kEndOfChain;) {
            if (s >= fat_.size() || claimed_[s] || chain.size() >= limit) return std::nullopt;
            claimed_[s] = true;
            chain.push_back(s);
            s = fat_[s];
        }
        return chain;
    }

    std::optional<DirEntry> Entry(std::int64_t at) {
        const ByteSpan raw = in_.Window(at, kEntryBytes);
        if (raw.size() < kEntryBytes) return std::nullopt;
        DirEntry e;
        const std::uint16_t name_bytes = read_le16(raw, 64).value_or(0);
        for (std::size_t i = 0; i + 1 < std::min<std::size_t>(name_bytes, 64); i += 2) {
            const std::uint16_t c = read_le16(raw, i).value_or(0);
            if (c == 0) break;
            e.name.push_back(c < 0x80 ? static_cast<char>(c) : '?');
        }
        e.type = raw[66];
        e.left = read_le32(raw, 68).value_or(kFree);
        e.right = read_le32(raw, 72).value_or(kFree);
        e.child = read_le32(raw, 76).value_or(kFree);
        e.start = read_le32(raw, 116).value_or(kEndOfChain);
        e.size = read_le64(raw, 120).value_or(0);
        // Version 3 files may leave garbage in the size's high half.
        if (v3_) e.size &= 0xFFFFFFFF;
        return e;
    }

    std::int64_t Offset(std::uint32_t sector) const { return (std::int64_t{sector} + 1) * sector_; }
    // Sectors needed for `bytes`.
    std::size_t SectorsFor(std::uint64_t bytes, std::int64_t unit) const {
        return static_cast<std::size_t>((bytes + static_cast<std::uint64_t>(unit) - 1) / static_cast<std::uint64_t>(unit));
    }
    // One past the highest sector known to be in use: the file's end.
    std::int64_t End() const { return Offset(highest_) + (any_ ? sector_ : 0); }
    std::size_t FatEntries() const { return fat_.size(); }

private:
    void Note(std::uint32_t sector) {
        if (sector > kMaxRegular) return;
        if (!any_ || sector > highest_) highest_ = sector;
        any_ = true;
    }

    CarveReader& in_;
    std::int64_t sector_;
    bool v3_;
    std::uint32_t per_sector_;
    std::vector<std::uint32_t> fat_;
    std::vector<bool> claimed_;
    std::uint32_t highest_ = 0;
    bool any_ = false;
};

// The extension the root storage's own streams name; empty when none do.
std::string KindOf(const std::vector<DirEntry>& entries) {
    if (entries.empty()) return {};
    bool doc = false, xls = false, ppt = false, msg = false;
    std::vector<std::uint32_t> pending{entries[0].child};
    std::vector<bool> seen(entries.size(), false);
    while (!pending.empty()) {
        const std::uint32_t id = pending.back();
        pending.pop_back();
        if (id >= entries.size() || seen[id]) continue;
        seen[id] = true;
        const DirEntry& e = entries[id];
        if (e.name == "WordDocument") doc = true;
        if (e.name == "Workbook" || e.name == "Book") xls = true;
        if (e.name == "PowerPoint Document") ppt = true;
        if (e.name.starts_with("__substg1.0_")) msg = true;
        pending.push_back(e.left);
        pending.push_back(e.right);
    }
    if (msg) return "msg";
    if (doc) return "doc";
    if (ppt) return "ppt";
    if (xls) return "xls";
    return {};
}

}  // namespace

bool Ole2Starts(ByteSpan head) {
    // The signature, the byte order mark, and a major version whose sector size agrees.
    if (head.size() < 32 || std::memcmp(head.data(), kSignature, 8) != 0) return false;
    const auto major = read_le16(head, 0x1A);
    const auto order = read_le16(head, 0x1C);
    const auto shift = read_le16(head, 0x1E);
    return order == 0xFFFE && ((major == 3 && shift == 9) || (major == 4 && shift == 12));
}

WalkResult WalkOle2(CarveReader& in) {
    const ByteSpan head = in.Window(0, 512);
    if (!Ole2Starts(head) || head.size() < 512) return std::nullopt;
    const bool v3 = read_le16(head, 0x1A) == 3;
    const std::int64_t sector = v3 ? 512 : 4096;
    const std::uint32_t dir_sectors = read_le32(head, 0x28).value_or(0);
    const std::uint32_t fat_sectors = read_le32(head, 0x2C).value_or(0);
    const std::uint32_t first_dir = read_le32(head, 0x30).value_or(0);
    const std::uint32_t first_minifat = read_le32(head, 0x3C).value_or(0);
    const std::uint32_t minifat_sectors = read_le32(head, 0x40).value_or(0);
    const std::uint32_t first_difat = read_le32(head, 0x44).value_or(0);
    const std::uint32_t difat_sectors = read_le32(head, 0x48).value_or(0);
    bool reserved_zero = true;
    for (std::size_t i = 0x22; i < 0x28; ++i) reserved_zero = reserved_zero && head[i] == 0;
    // Fixed fields: 64-byte mini sectors, the 4096-byte cutoff, no directory sector count in version 3.
    if (read_le16(head, 0x20) != 6 || read_le32(head, 0x38) != kMiniCutoff || !reserved_zero ||
        (v3 && dir_sectors != 0) || fat_sectors == 0 || first_dir > kMaxRegular)
        return std::nullopt;
    Compound file(in, sector, v3);
    // What is known of a file that cannot be followed: its header, and the sectors its table uses.
    const auto cut = [&]() -> WalkResult {
        return WalkedFile{std::min(std::max(file.End(), sector), in.Size()), CarveCheck::Incomplete, {}};
    };
    // A table larger than it takes to map every sector there is to read
    // belongs to no file that fits here.
    const std::int64_t readable_sectors = in.Size() / sector;
    if (std::int64_t{fat_sectors} > readable_sectors / (sector / 4) + 1) return cut();
    if (!file.ReadFat(fat_sectors, first_difat, difat_sectors)) return cut();
    const std::size_t limit = file.FatEntries();

    const auto dir = file.Chain(first_dir, limit);
    if (!dir) return cut();
    std::vector<DirEntry> entries;
    for (const std::uint32_t s : *dir)
        for (std::int64_t at = 0; at < sector; at += kEntryBytes) {
            const auto e = file.Entry(file.Offset(s) + at);
            if (!e) return cut();
            entries.push_back(*e);
        }
    if (entries.empty() || entries[0].type != kRoot) return cut();

    // The mini stream (the root's chain), the mini table, then every stream by its size.
    const std::uint64_t mini_stream = entries[0].size;
    std::size_t mini_sectors = 0;
    if (mini_stream > 0) {
        const auto chain = file.Chain(entries[0].start, limit);
        if (!chain || chain->size() != file.SectorsFor(mini_stream, sector)) return cut();
        mini_sectors = file.SectorsFor(mini_stream, kMiniSector);
    }
    std::vector<std::uint32_t> minifat;
    if (minifat_sectors > 0) {
        const auto chain = file.Chain(first_minifat, limit);
        if (!chain || chain->size() != minifat_sectors) return cut();
        for (const std::uint32_t s : *chain)
            for (std::int64_t at = 0; at < sector; at += 4) {
                const auto v = in.Le32(file.Offset(s) + at);
                if (!v) return cut();
                minifat.push_back(*v);
            }
    }
    std::vector<bool> mini_claimed(minifat.size(), false);
    for (std::size_t i = 1; i < entries.size(); ++i) {
        const DirEntry& e = entries[i];
        if (e.type == kStorage || e.type == 0) continue;
        if (e.type != kStream) return cut();
        if (e.size == 0) continue;
        if (e.size >= kMiniCutoff) {
            const auto chain = file.Chain(e.start, limit);
            if (!chain || chain->size() != file.SectorsFor(e.size, sector)) return cut();
            continue;
        }
        // A small stream: a chain of the mini table, within the mini stream.
        std::size_t length = 0;
        for (std::uint32_t s = e.start; s != kEndOfChain; ++length) {
            if (s >= minifat.size() || s >= mini_sectors || mini_claimed[s] || length > mini_sectors) return cut();
            mini_claimed[s] = true;
            s = minifat[s];
        }
        if (length != file.SectorsFor(e.size, kMiniSector)) return cut();
    }
    const std::int64_t end = file.End();
    if (end > in.Size()) return WalkedFile{in.Size(), CarveCheck::Incomplete, KindOf(entries)};
    return WalkedFile{end, CarveCheck::Complete, KindOf(entries)};
}

}  // namespace verandol
