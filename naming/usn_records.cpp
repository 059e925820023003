#include "naming/usn_records.h"

#include <algorithm>

namespace verandol {

namespace {

constexpr std::size_t kLength = 0;  // u32
constexpr std::size_t kMajorVersion = 4;  // u16

// Where the fields lie in each version.
struct Fields {
    std::size_t file_reference, parent_reference, reference_width, usn, time, reason, name_length, name_offset, header;
};
constexpr Fields kVersion2{8, 16, 8, 24, 32, 40, 56, 58, 60};
constexpr Fields kVersion3{8, 24, 16, 40, 48, 56, 72, 74, 76};
constexpr std::size_t kSmallest = kVersion2.header;
constexpr std::size_t kLargest = 64 * 1024;  // far above any real record: a name holds at most 255 units

// The reference at `at`, nullopt when wider than 64 bits.
std::optional<std::uint64_t> Reference(ByteSpan record, std::size_t at, std::size_t width) {
    if (width == 16 && *read_le64(record, at + 8) != 0) return std::nullopt;
    return *read_le64(record, at);
}

std::optional<UsnRecord> ReadRecord(ByteSpan record) {
    const std::uint16_t major = *read_le16(record, kMajorVersion);
    if (major != 2 && major != 3) return std::nullopt;
    const Fields& f = major == 2 ? kVersion2 : kVersion3;
    if (record.size() < f.header) return std::nullopt;
    const std::size_t name_length = *read_le16(record, f.name_length);
    const std::size_t name_offset = *read_le16(record, f.name_offset);
    if (name_length == 0 || name_length % 2 != 0 || name_length > 510 || name_offset < f.header ||
        !fits(record.size(), name_offset, name_length))
        return std::nullopt;
    const auto file = Reference(record, f.file_reference, f.reference_width);
    const auto parent = Reference(record, f.parent_reference, f.reference_width);
    if (!file || !parent) return std::nullopt;
    UsnRecord out;
    out.file_reference = *file;
    out.parent_reference = *parent;
    out.usn = static_cast<std::int64_t>(*read_le64(record, f.usn));
    out.time = *read_le64(record, f.time);
    out.reason = *read_le32(record, f.reason);
    out.name.reserve(name_length / 2);
    for (std::size_t i = 0; i < name_length; i += 2) {
        const std::uint16_t unit = *read_le16(record, name_offset + i);
        if (unit == 0 || unit == u'/' || unit == u'\\') return std::nullopt;  // no NTFS name holds these
        out.name.push_back(static_cast<char16_t>(unit));
    }
    return out;
}

}  // namespace

std::size_t ForEachUsnRecord(ByteSpan bytes, const std::function<void(const UsnRecord&)>& take) {
    std::size_t at = 0;
    while (fits(bytes.size(), at, 8)) {
        const std::size_t length = *read_le32(bytes, at + kLength);
        if (length < kSmallest || length > kLargest || length % 8 != 0) {
            at += 8;
            continue;
        }
        if (!fits(bytes.size(), at, length)) {
            // Cut short here, unless it is not a record at all.
            const auto major = read_le16(bytes, at + kMajorVersion);
            if (major && (*major == 2 || *major == 3)) return at;
            at += 8;
            continue;
        }
        if (const auto record = ReadRecord(bytes.subspan(at, length))) {
            take(*record);
            at += length;
        } else {
            at += 8;
        }
    }
    return bytes.size();
}

void JournalNames::Add(const UsnRecord& record) {
    if (record.reason & usn_reason::kRenameOldName) return;
    const auto [found, added] = places_.try_emplace(record.file_reference, names_.size());
    if (added) {
        if (names_.size() >= most_) {
            places_.erase(found);
            return;
        }
        names_.push_back({record.file_reference, record.parent_reference, record.name, record.time, record.reason});
        usns_.push_back(record.usn);
        return;
    }
    JournalName& name = names_[found->second];
    name.reasons |= record.reason;
    if (record.usn < usns_[found->second]) return;
    usns_[found->second] = record.usn;
    name.parent_reference = record.parent_reference;
    name.name = record.name;
    name.time = record.time;
}

std::vector<JournalName> JournalNames::Take() {
    std::sort(names_.begin(), names_.end(),
              [](const JournalName& a, const JournalName& b) { return a.file_reference < b.file_reference; });
    usns_.clear();
    places_.clear();
    return std::move(names_);
}

}  // namespace verandol
