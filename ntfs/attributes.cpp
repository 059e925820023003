#include "ntfs/attributes.h"

#include <algorithm>

#include "ntfs/fixups.h"
#include "ntfs/layout.h"

namespace verandol {

namespace at = layout::attr;
namespace fn = layout::file_name;

namespace {

// The walk both lookups share: the first attribute of `type` that `accept`
// takes, cut at the buffer's end.
template <class Accept>
ByteSpan WalkAttributes(ByteSpan record, std::uint32_t type, Accept accept) {
    std::size_t position = 0;
    if (HasFileSignature(record)) {
        if (record.size() < layout::record::kHeaderSize) return {};
        position = *read_le16(record, layout::record::kFirstAttribute);
    }
    while (fits(record.size(), position, at::kHeaderSize)) {
        const std::uint32_t found_type = *read_le32(record, position + at::kType);
        const std::uint32_t length = *read_le32(record, position + at::kLength);
        if (found_type == at::kEnd) return {};
        // Only the low 16 bits advance the walk: a record is at most 64 KiB,
        // and a zero step would never end.
        const std::size_t step = length & 0xFFFF;
        if (step == 0) return {};
        if (found_type == type) {
            const std::optional<bool> taken = accept(position);
            if (!taken) return {};
            if (*taken) {
                const std::size_t left = record.size() - position;
                return record.subspan(position, std::min<std::size_t>(length, left));
            }
        }
        position += step;
    }
    return {};
}

}  // namespace

ByteSpan FindAttribute(ByteSpan record, std::uint32_t type, bool skip_dos_names) {
    const bool filter_names = skip_dos_names && type == at::kFileName;
    return WalkAttributes(record, type, [&](std::size_t position) -> std::optional<bool> {
        if (!filter_names) return true;
        auto name_space = read_le8(record, position + fn::kNamespace);
        if (!name_space) return std::nullopt;
        return *name_space == fn::kNamespacePosix || *name_space == fn::kNamespaceWin32 ||
               *name_space == fn::kNamespaceWin32AndDos;
    });
}

std::vector<ByteSpan> NamedAttributes(ByteSpan record, std::uint32_t type) {
    std::vector<ByteSpan> named;
    WalkAttributes(record, type, [&](std::size_t position) -> std::optional<bool> {
        const std::optional<std::uint8_t> name_length = read_le8(record, position + at::kNameLength);
        if (!name_length) return std::nullopt;
        if (*name_length != 0) {
            // The walk only meets attributes whose header fits.
            const std::uint32_t length = *read_le32(record, position + at::kLength);
            named.push_back(record.subspan(position, std::min<std::size_t>(length, record.size() - position)));
        }
        return false;
    });
    return named;
}

std::optional<std::u16string> ReadAttributeName(ByteSpan attribute) {
    const std::optional<std::uint8_t> length = read_le8(attribute, at::kNameLength);
    const std::optional<std::uint16_t> offset = read_le16(attribute, at::kNameOffset);
    if (!length || !offset) return std::nullopt;
    std::u16string units;
    units.reserve(*length);
    // At most 65,535 + 2 x 255: no sum here can overflow.
    for (std::size_t i = 0; i < *length; ++i) {
        const std::optional<std::uint16_t> unit = read_le16(attribute, std::size_t{*offset} + 2 * i);
        if (!unit) return std::nullopt;
        units.push_back(static_cast<char16_t>(*unit));
    }
    return units;
}

ByteSpan FindAttributeWithId(ByteSpan record, std::uint32_t type, std::uint16_t id) {
    return WalkAttributes(record, type, [&](std::size_t position) -> std::optional<bool> {
        auto found = read_le16(record, position + at::kId);
        if (!found) return std::nullopt;
        return *found == id;
    });
}

ByteSpan FindNamedAttribute(ByteSpan record, std::uint32_t type, std::u16string_view name) {
    for (const ByteSpan attribute : NamedAttributes(record, type))
        if (ReadAttributeName(attribute) == name) return attribute;
    return {};
}

std::optional<StandardTimes> ReadStandardTimes(ByteSpan standard_information) {
    auto created = read_le64(standard_information, layout::std_info::kCreationTime);
    auto modified = read_le64(standard_information, layout::std_info::kModificationTime);
    if (!created || !modified) return std::nullopt;
    return StandardTimes{*created, *modified};
}

std::optional<std::u16string> ReadFileNameUnits(ByteSpan file_name) {
    auto length = read_le8(file_name, fn::kNameLength);
    if (!length) return std::nullopt;
    std::u16string units;
    units.reserve(*length);
    for (std::size_t i = 0; i < *length; ++i) {
        auto unit = read_le16(file_name, fn::kName + 2 * i);
        if (!unit) break;
        units.push_back(static_cast<char16_t>(*unit));
    }
    return units;
}

std::optional<std::int64_t> ReadListedDataSize(ByteSpan data) {
    auto non_resident = read_le8(data, at::kNonResident);
    if (!non_resident) return std::nullopt;
    const std::size_t n = *non_resident;
    return static_cast<std::int64_t>(read_le_clipped(data, 16 + 32 * n, 4 * (n + 1)));
}

std::optional<NonResidentExtent> ReadNonResidentExtent(ByteSpan data) {
    auto flags = read_le16(data, at::kFlags);
    auto first = read_sle64(data, at::kFirstVcn);
    auto last = read_sle64(data, at::kLastVcn);
    auto runs = read_le16(data, at::kRunListOffset);
    auto real = read_sle64(data, at::kRealSize);
    if (!flags || !first || !last || !runs || !real) return std::nullopt;
    // A copy cut before these reads as a plain file written to its end.
    const std::int64_t initialized = read_sle64(data, at::kInitializedSize).value_or(*real);
    const std::uint16_t unit = read_le16(data, at::kCompressionUnit).value_or(0);
    return NonResidentExtent{*flags, *first, *last, *runs, *real, initialized, unit};
}

std::optional<DecodedRunList> ReadRunList(ByteSpan data, const NonResidentExtent& extent) {
    if (extent.run_list_offset >= data.size()) return std::nullopt;
    return DecodeRunList(data.subspan(extent.run_list_offset));
}

bool IsNonResident(ByteSpan data) { return read_le8(data, at::kNonResident) == std::uint8_t{1}; }

std::optional<ByteSpan> ResidentValue(ByteSpan data) {
    auto length = read_le32(data, at::kValueLength);
    auto offset = read_le16(data, at::kValueOffset);
    if (!length || !offset) return std::nullopt;
    if (*offset >= data.size()) return ByteSpan{};
    return data.subspan(*offset, std::min<std::size_t>(*length, data.size() - *offset));
}

}  // namespace verandol
