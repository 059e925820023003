#include "fuzz/index_entries_entry.h"

#include <vector>

#include "deep/found_record.h"
#include "deep/index_name_book.h"
#include "deep/index_names.h"
#include "fuzz/fuzz_check.h"
#include "ntfs/layout.h"

namespace verandol::fuzz {

void FuzzIndexEntries(ByteSpan input) {
    const std::vector<IndexedName> names = ReadIndexBlockNames(input);
    const auto size = IndexBlockSize(input);
    if (!names.empty()) VERANDOL_FUZZ_CHECK(size && *size <= input.size());
    IndexNameBook book(1 << 16);
    for (const IndexedName& name : names) {
        VERANDOL_FUZZ_CHECK(!name.name.empty() && name.name.size() <= 255);
        VERANDOL_FUZZ_CHECK(name.name.find(u'\0') == std::u16string::npos);
        VERANDOL_FUZZ_CHECK((name.file_reference & layout::kReferenceRecordMask) >=
                            static_cast<std::uint64_t>(layout::record::kFirstUserRecord));
        book.Add(0, name);
    }
    for (const IndexedName& name : names) {
        const auto number = static_cast<std::uint32_t>(name.file_reference & layout::kReferenceRecordMask);
        if (number != (name.file_reference & layout::kReferenceRecordMask)) continue;
        const auto found = book.Find(0, number, static_cast<std::uint16_t>(name.file_reference >> 48));
        VERANDOL_FUZZ_CHECK(found && found->file_reference == name.file_reference);
        VERANDOL_FUZZ_CHECK(!book.Find(1, number, static_cast<std::uint16_t>(name.file_reference >> 48)));
    }

    std::vector<std::uint8_t> record;
    if (const auto header = TakeFoundRecord(input, record)) {
        VERANDOL_FUZZ_CHECK(record.size() == header->record_size && header->record_size <= input.size());
        VERANDOL_FUZZ_CHECK(header->record_size >= 512 && (header->record_size & (header->record_size - 1)) == 0);
    }
}

}  // namespace verandol::fuzz
