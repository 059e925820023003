#include "ntfs/record_times.h"

#include <optional>

#include "ntfs/attributes.h"
#include "ntfs/layout.h"

namespace verandol {

namespace {

std::optional<RecordTimes> TimesAt(ByteSpan attribute, std::size_t modified_at, std::size_t accessed_at) {
    const std::optional<std::uint64_t> modified = read_le64(attribute, modified_at);
    const std::optional<std::uint64_t> accessed = read_le64(attribute, accessed_at);
    if (!modified || !accessed) return std::nullopt;
    return RecordTimes{*modified, *accessed};
}

}  // namespace

RecordTimes ReadRecordTimes(ByteSpan record) {
    if (auto standard = TimesAt(FindAttribute(record, layout::attr::kStandardInformation, false),
                                layout::std_info::kModificationTime, layout::std_info::kAccessTime))
        return *standard;
    if (auto named = TimesAt(FindAttribute(record, layout::attr::kFileName, true), layout::file_name::kModificationTime,
                             layout::file_name::kAccessTime))
        return *named;
    return {};
}

}  // namespace verandol
