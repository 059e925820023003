#include "deep/index_names.h"

#include <algorithm>

#include "ntfs/fixups.h"
#include "ntfs/layout.h"

namespace verandol {

namespace {

namespace ix = layout::index_block;
namespace ie = layout::index_entry;

constexpr std::size_t kMinKey = ie::kKeyName;  // a $FILE_NAME value up to its name

struct Entry {
    std::size_t length = 0;
    bool last = false;
    bool named = false;  // the entry names a file worth keeping: `name` holds it
};

// The entry at `at`, which must end by `end`; nullopt when it does not hold
// together. A name worth keeping is written into `name`, its units into `units`.
std::optional<Entry> ReadEntry(ByteSpan block, std::size_t at, std::size_t end, IndexedNameView& name,
                               std::u16string& units) {
    if (at >= end || !fits(end, at, ie::kKey)) return std::nullopt;
    const std::size_t length = *read_le16(block, at + ie::kEntryLength);
    const std::size_t key_length = *read_le16(block, at + ie::kKeyLength);
    const std::uint16_t flags = *read_le16(block, at + ie::kFlags);
    if (length < ie::kKey || length % 8 != 0 || !fits(end, at, length)) return std::nullopt;
    Entry entry;
    entry.length = length;
    entry.last = (flags & ie::kFlagLast) != 0;
    if (entry.last) return entry;
    if (key_length < kMinKey || ie::kKey + key_length > length) return std::nullopt;
    const std::size_t key = at + ie::kKey;
    const std::size_t count = block[key + ie::kKeyNameLength];
    const std::uint8_t name_space = block[key + ie::kKeyNamespace];
    if (count == 0 || name_space > layout::file_name::kNamespaceWin32AndDos ||
        ie::kKeyName + 2 * count > key_length)
        return std::nullopt;
    units.clear();
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint16_t unit = *read_le16(block, key + ie::kKeyName + 2 * i);
        if (unit == 0) return std::nullopt;  // no NTFS name holds a NUL
        units.push_back(static_cast<char16_t>(unit));
    }
    name.file_reference = *read_le64(block, at + ie::kFileReference);
    name.parent_reference = *read_le64(block, key + ie::kKeyParentReference);
    // Sizes read as signed: a negative one is damage, and says nothing.
    const auto data_size = static_cast<std::int64_t>(*read_le64(block, key + ie::kKeyDataSize));
    const auto allocated_size = static_cast<std::int64_t>(*read_le64(block, key + ie::kKeyAllocatedSize));
    name.figures.data_size = std::max<std::int64_t>(data_size, 0);
    name.figures.allocated_size = std::max<std::int64_t>(allocated_size, 0);
    name.figures.created_time = *read_le64(block, key + ie::kKeyCreationTime);
    name.figures.modified_time = *read_le64(block, key + ie::kKeyModificationTime);
    name.name = units;
    const auto record = static_cast<std::int64_t>(name.file_reference & layout::kReferenceRecordMask);
    entry.named = name_space != layout::file_name::kNamespaceDos && record >= layout::record::kFirstUserRecord;
    return entry;
}

}  // namespace

std::optional<std::size_t> IndexBlockSize(ByteSpan bytes) {
    if (bytes.size() < ix::kHeaderSize ||
        !std::equal(std::begin(ix::kSignatureBytes), std::end(ix::kSignatureBytes), bytes.begin()))
        return std::nullopt;
    const std::size_t count = *read_le16(bytes, ix::kUsaCount);
    if (count < 2) return std::nullopt;
    const std::size_t size = (count - 1) * layout::record::kFixupStride;
    if (size > 64 * 1024 || (size & (size - 1)) != 0) return std::nullopt;
    return size;
}

std::vector<IndexedName> ReadIndexBlockNames(ByteSpan bytes) {
    std::vector<std::uint8_t> scratch;
    std::u16string units;
    std::vector<IndexedName> names;
    ForEachIndexBlockName(bytes, scratch, units, [&](const IndexedNameView& name) {
        names.push_back({name.file_reference, name.parent_reference, std::u16string(name.name), name.from_slack,
                         name.figures});
    });
    return names;
}

void ForEachIndexBlockName(ByteSpan bytes, std::vector<std::uint8_t>& block, std::u16string& units,
                           const std::function<void(const IndexedNameView&)>& take, const IndexSlackReader& slack) {
    const auto size = IndexBlockSize(bytes);
    if (!size || bytes.size() < *size) return;
    block.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(*size));
    if (!ApplyIndexBlockFixups(block)) return;
    const std::size_t first = ix::kNodeHeader + std::size_t{*read_le32(block, ix::kEntriesOffset)};
    const std::size_t in_use_end = std::min<std::size_t>(ix::kNodeHeader + std::size_t{*read_le32(block, ix::kBytesInUse)}, *size);
    const std::size_t slack_end = std::min<std::size_t>(ix::kNodeHeader + std::size_t{*read_le32(block, ix::kBytesAllocated)}, *size);
    if (first < ix::kHeaderSize) return;

    IndexedNameView name;
    std::size_t at = first;
    while (auto entry = ReadEntry(block, at, in_use_end, name, units)) {
        if (entry->named) take(name);
        if (entry->last) break;
        at += entry->length;
    }
    const std::size_t slack_start = (in_use_end + 7) / 8 * 8;
    if (slack) {
        if (slack_start < slack_end) slack(block, slack_start, slack_end);
        return;
    }
    // The slack: entries lie on 8-byte boundaries, and one that does not hold
    // together may be the tail of an entry written over.
    name.from_slack = true;
    for (at = slack_start; at < slack_end;) {
        auto entry = ReadEntry(block, at, slack_end, name, units);
        if (!entry || entry->last) {
            at += 8;
            continue;
        }
        if (entry->named) take(name);
        at += entry->length;
    }
}

}  // namespace verandol
