#include "naming/stale_file_names.h"

#include <algorithm>
#include <optional>

#include "ntfs/layout.h"

namespace verandol {

namespace {

namespace ie = layout::index_entry;

constexpr std::size_t kAlign = 8;
// NTFS times (100 ns ticks since 1601) of 1980-01-01 and 2200-01-01.
constexpr std::uint64_t kEarliestTime = 119'600'064'000'000'000ULL;
constexpr std::uint64_t kLatestTime = 188'983'008'000'000'000ULL;
constexpr std::int64_t kMostDataSize = std::int64_t{1} << 48;
// File attribute bits no volume sets; a copy with any of them is not one.
constexpr std::uint32_t kUnknownAttributes = 0xCFF00000;

bool Plausible(std::uint64_t time) { return time >= kEarliestTime && time < kLatestTime; }

// The name at `at` (count units), or false when a unit is one no name holds:
// a control character, a path separator, a non-character or a lone surrogate.
bool ReadName(ByteSpan bytes, std::size_t at, std::size_t count, std::u16string& units) {
    units.clear();
    bool after_high = false;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint16_t unit = *read_le16(bytes, at + 2 * i);
        if (unit < 0x20 || unit == u'/' || unit >= 0xFFFE) return false;
        const bool high = unit >= 0xD800 && unit < 0xDC00, low = unit >= 0xDC00 && unit < 0xE000;
        if (low != after_high) return false;  // a low surrogate comes right after a high one, and only there
        after_high = high;
        units.push_back(static_cast<char16_t>(unit));
    }
    return !after_high;
}

// The file reference of the index entry whose key begins at `key`, when its
// header lies in the slack and agrees with the key; nullopt otherwise.
std::optional<std::uint64_t> EntryReference(ByteSpan bytes, std::size_t key, std::size_t from, std::size_t count) {
    if (key < ie::kKey || key - ie::kKey < from) return std::nullopt;
    const std::size_t entry = key - ie::kKey;
    const std::size_t key_length = *read_le16(bytes, entry + ie::kKeyLength);
    const std::size_t length = *read_le16(bytes, entry + ie::kEntryLength);
    if (key_length != ie::kKeyName + 2 * count || length % kAlign != 0 || length < ie::kKey + key_length ||
        length > ie::kKey + key_length + 2 * kAlign)
        return std::nullopt;
    return *read_le64(bytes, entry + ie::kFileReference);
}

}  // namespace

void ForEachStaleFileName(ByteSpan bytes, std::size_t from, std::size_t to, std::u16string& units,
                          const std::function<void(const IndexedNameView&)>& take) {
    to = std::min(to, bytes.size());
    if (from >= to) return;
    // The first copy whose sizes lie in the slack, on a boundary.
    std::size_t at = from >= ie::kKeyAllocatedSize ? from - ie::kKeyAllocatedSize : 0;
    at = (at + kAlign - 1) / kAlign * kAlign;
    const auto believed = [&](std::size_t offset) { return at + offset >= from; };
    for (; fits(to, at, ie::kKeyName); at += kAlign) {
        const std::size_t count = bytes[at + ie::kKeyNameLength];
        const std::uint8_t name_space = bytes[at + ie::kKeyNamespace];
        if (count == 0 || name_space > layout::file_name::kNamespaceWin32AndDos ||
            name_space == layout::file_name::kNamespaceDos || !fits(to, at + ie::kKeyName, 2 * count))
            continue;
        const auto data_size = static_cast<std::int64_t>(*read_le64(bytes, at + ie::kKeyDataSize));
        const auto allocated_size = static_cast<std::int64_t>(*read_le64(bytes, at + ie::kKeyAllocatedSize));
        const std::uint32_t attributes = *read_le32(bytes, at + ie::kKeyFileAttributes);
        if (data_size <= 0 || data_size >= kMostDataSize || (attributes & ie::kKeyAttributeFolder) != 0 ||
            (attributes & kUnknownAttributes) != 0)
            continue;
        std::uint64_t times[4] = {};
        bool dated = false;
        const std::size_t time_offsets[4] = {ie::kKeyCreationTime, ie::kKeyModificationTime, ie::kKeyChangeTime,
                                             ie::kKeyAccessTime};
        for (std::size_t t = 0; t < 4; ++t) {
            if (!believed(time_offsets[t])) continue;
            const std::uint64_t time = *read_le64(bytes, at + time_offsets[t]);
            if (Plausible(time)) times[t] = time, dated = true;
        }
        if (!dated || !ReadName(bytes, at + ie::kKeyName, count, units)) continue;
        IndexedNameView name;
        const auto reference = EntryReference(bytes, at, from, count);
        if (reference) {
            const auto record = static_cast<std::int64_t>(*reference & layout::kReferenceRecordMask);
            if (record < layout::record::kFirstUserRecord) continue;  // the file system's own
            name.file_reference = *reference;
        }
        name.parent_reference = believed(ie::kKeyParentReference) ? *read_le64(bytes, at + ie::kKeyParentReference) : 0;
        name.name = units;
        name.from_slack = true;
        name.figures.data_size = data_size;
        name.figures.allocated_size = allocated_size >= data_size ? allocated_size : 0;
        name.figures.created_time = times[0];
        name.figures.modified_time = times[1];
        take(name);
    }
}

}  // namespace verandol
