#include "fuzz/naming_entry.h"

#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "naming/carved_names.h"
#include "naming/content_name.h"
#include "naming/exif_name.h"
#include "naming/office_title.h"
#include "naming/pdf_title.h"
#include "naming/stale_file_names.h"
#include "naming/usn_records.h"
#include "naming/volume_memory.h"
#include "scan/scan_collector.h"

namespace verandol::fuzz {

namespace {

// A name made from content: a file name in one folder, with its extension.
void CheckFileName(const std::optional<std::string>& name, std::string_view extension) {
    if (!name) return;
    VERANDOL_FUZZ_CHECK(name->size() > extension.size() + 1 && name->size() <= 201 + extension.size());
    VERANDOL_FUZZ_CHECK(name->find('/') == std::string::npos && name->find('\0') == std::string::npos);
    VERANDOL_FUZZ_CHECK(name->ends_with("." + std::string(extension)));
}

}  // namespace

void FuzzUsnRecords(ByteSpan input) {
    JournalNames names(64);
    std::size_t count = 0;
    const std::size_t cut = ForEachUsnRecord(input, [&](const UsnRecord& record) {
        VERANDOL_FUZZ_CHECK(!record.name.empty() && record.name.size() <= 255);
        VERANDOL_FUZZ_CHECK(record.name.find(u'\0') == std::u16string::npos);
        names.Add(record);
        ++count;
    });
    VERANDOL_FUZZ_CHECK(cut <= input.size());
    const std::vector<JournalName> kept = names.Take();
    VERANDOL_FUZZ_CHECK(kept.size() <= count && kept.size() <= 64);
    for (std::size_t i = 1; i < kept.size(); ++i) VERANDOL_FUZZ_CHECK(kept[i - 1].file_reference < kept[i].file_reference);
}

void FuzzExifName(ByteSpan input) {
    if (const auto facts = ReadExifFacts(input)) {
        VERANDOL_FUZZ_CHECK(facts->taken.size() == 19);
        VERANDOL_FUZZ_CHECK(facts->model.size() <= input.size());
    }
    CheckFileName(ContentNameOf(input, "jpg"), "jpg");
}

void FuzzPdfTitle(ByteSpan input) {
    if (const auto title = ReadPdfTitle(input)) VERANDOL_FUZZ_CHECK(!title->empty());
    CheckFileName(ContentNameOf(input, "pdf"), "pdf");
}

void FuzzStaleFileNames(ByteSpan input) {
    if (input.empty()) return;
    const std::size_t from = std::size_t{input[0]} * 8;
    std::u16string units;
    std::size_t count = 0;
    ForEachStaleFileName(input, from, input.size(), units, [&](const IndexedNameView& name) {
        VERANDOL_FUZZ_CHECK(!name.name.empty() && 2 * name.name.size() < input.size());
        VERANDOL_FUZZ_CHECK(name.name.find(u'/') == std::u16string_view::npos &&
                            name.name.find(u'\0') == std::u16string_view::npos);
        VERANDOL_FUZZ_CHECK(name.figures.data_size > 0 && name.from_slack);
        VERANDOL_FUZZ_CHECK(name.figures.allocated_size == 0 || name.figures.allocated_size >= name.figures.data_size);
        ++count;
    });
    VERANDOL_FUZZ_CHECK(count <= input.size() / 8 + 1);
}

void FuzzNamingVolume(ByteSpan input) {
    BorrowedVolume volume(input);
    ScanCollector scan;
    ScanVolume(volume, "fuzz", "", scan);
    if (!scan.published) return;
    VolumeMemory memory(volume, *scan.published);
    memory.ReadFolders();
    const std::vector<JournalName> journal = memory.ReadJournal();
    // Carved rows of every type and a few lengths, over the input's own bytes.
    std::vector<DeletedFileRow> rows;
    for (const char* extension : {"jpg", "png", "pdf", "docx", "zip", "gz"})
        for (const std::int64_t length : {std::int64_t{1}, std::int64_t{4096}, static_cast<std::int64_t>(input.size())}) {
            DeletedFileRow row;
            row.carved = true;
            row.size = length;
            row.type = std::string(".") + extension;
            row.name = "f0" + row.type;
            row.named_from = "cluster";
            row.carved_extent = {0, std::min<std::int64_t>(length, static_cast<std::int64_t>(input.size())),
                                 CarveCheck::Complete};
            rows.push_back(row);
        }
    NameCarvedRows(rows, memory, journal, volume);
    for (const DeletedFileRow& row : rows) {
        VERANDOL_FUZZ_CHECK(!row.name.empty() && row.name.find('/') == std::string::npos);
        VERANDOL_FUZZ_CHECK(row.named_from == "index" || row.named_from == "index slack" ||
                            row.named_from == "free index block" || row.named_from == "record slack" ||
                            row.named_from == "journal" ||
                            row.named_from == "content" || row.named_from == "cluster");
    }
}

void FuzzOfficeTitle(ByteSpan input) {
    if (const auto title = ReadOfficeTitle(input)) VERANDOL_FUZZ_CHECK(!title->empty() && title->size() <= 64 * 1024);
    CheckFileName(ContentNameOf(input, "docx"), "docx");
}

}  // namespace verandol::fuzz
