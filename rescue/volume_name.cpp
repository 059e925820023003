#include "rescue/volume_name.h"

#include <vector>

#include "ntfs/attributes.h"
#include "ntfs/fixups.h"
#include "text/record_texts.h"

namespace verandol {

namespace {

std::optional<std::string> NameInRecord(ByteSource& volume, const VolumeLayout& layout, std::int64_t mft_position) {
    const std::int64_t size = layout.geometry.RecordSize;
    std::int64_t position = 0;
    if (mft_position < 0 || __builtin_mul_overflow(layout::record::kVolumeRecord, size, &position) ||
        __builtin_add_overflow(position, mft_position, &position))
        return std::nullopt;
    std::vector<std::uint8_t> record(layout.geometry.RecordSize);
    if (volume.ReadAt(position, record) != record.size() || !ApplyFixups(record)) return std::nullopt;
    const ByteSpan attribute = FindAttribute(record, layout::attr::kVolumeName, false);
    if (attribute.empty()) return std::string();
    const std::optional<ByteSpan> value = ResidentValue(attribute);
    if (!value) return std::nullopt;
    std::u16string units(value->size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) units[i] = static_cast<char16_t>(*read_le16(*value, 2 * i));
    return Utf16ToUtf8(units);
}

}  // namespace

std::string ReadVolumeName(ByteSource& volume, const VolumeLayout& layout) {
    if (auto name = NameInRecord(volume, layout, layout.mft_offset)) return *name;
    return NameInRecord(volume, layout, layout.mirror_offset).value_or(std::string());
}

}  // namespace verandol
