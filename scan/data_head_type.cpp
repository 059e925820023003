#include "scan/data_head_type.h"

#include <algorithm>
#include <array>
#include <optional>

#include "carve/carve_formats.h"
#include "ntfs/attributes.h"
#include "ntfs/checked_math.h"
#include "ntfs/layout.h"

namespace verandol {

namespace {

std::string TypeOf(ByteSpan head) {
    const CarveFormat* format = FormatStartingAt(head);
    return format ? std::string(1, '.').append(format->extension) : std::string();
}

}  // namespace

std::string TypeFromDataHead(ByteSource& volume, std::int64_t origin, std::int64_t cluster_size, ByteSpan data) {
    const std::uint16_t flags = read_le16(data, layout::attr::kFlags).value_or(0xFFFF);
    if (flags & (layout::attr::kFlagCompressed | layout::attr::kFlagEncrypted)) return {};
    if (!IsNonResident(data)) {
        const std::optional<ByteSpan> value = ResidentValue(data);
        if (!value) return {};
        return TypeOf(value->first(std::min(value->size(), kCarveHeadBytes)));
    }
    const std::optional<NonResidentExtent> extent = ReadNonResidentExtent(data);
    if (!extent || extent->first_vcn != 0 || extent->compression_unit != 0) return {};
    const std::optional<DecodedRunList> runs = ReadRunList(data, *extent);
    if (!runs || runs->runs.empty()) return {};
    const Run& first = runs->runs.front();
    if (first.sparse || !first.valid || first.lcn < 0) return {};
    const std::optional<std::int64_t> offset = CheckedMul<std::int64_t>(first.lcn, cluster_size);
    if (!offset) return {};
    const std::optional<std::int64_t> position = CheckedAdd<std::int64_t>(origin, *offset);
    if (!position) return {};
    // Bytes past the initialized size read as zeros, not as what the
    // clusters hold.
    const std::int64_t wanted = std::min({static_cast<std::int64_t>(kCarveHeadBytes), extent->initialized_size,
                                          extent->real_size});
    if (wanted <= 0) return {};
    std::array<std::uint8_t, kCarveHeadBytes> head{};
    const MutableByteSpan into(head.data(), static_cast<std::size_t>(wanted));
    if (volume.ReadAt(*position, into) != into.size()) return {};
    return TypeOf(ByteSpan(head.data(), into.size()));
}

}  // namespace verandol
