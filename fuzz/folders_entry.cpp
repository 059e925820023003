#include "fuzz/folders_entry.h"

#include <vector>

#include "fuzz/fuzz_check.h"
#include "ntfs/attributes.h"
#include "ntfs/cluster_bitmap.h"
#include "ntfs/fixups.h"
#include "ntfs/layout.h"
#include "recover/kept_folders.h"
#include "scan/folder_paths.h"

namespace verandol::fuzz {

namespace {

constexpr std::size_t kRecordSize = 1024;

void CheckPath(const std::string& path) {
    VERANDOL_FUZZ_CHECK(path.starts_with("/") || path.starts_with("<lost folder #"));
    for (const std::string& part : KeptFolderComponents(path)) {
        VERANDOL_FUZZ_CHECK(!part.empty() && part != "." && part != "..");
        VERANDOL_FUZZ_CHECK(part.find('/') == std::string::npos && part.find('\0') == std::string::npos);
        VERANDOL_FUZZ_CHECK(part.size() <= 255);
    }
}

}  // namespace

void FuzzFolders(ByteSpan input) {
    std::vector<std::vector<std::uint8_t>> records;
    for (std::size_t at = 0; at + kRecordSize <= input.size() && records.size() < 64; at += kRecordSize) {
        records.emplace_back(input.begin() + static_cast<std::ptrdiff_t>(at),
                             input.begin() + static_cast<std::ptrdiff_t>(at + kRecordSize));
        ApplyFixups(records.back());
    }
    FolderPaths folders;
    for (std::size_t i = 0; i < records.size(); ++i)
        if (FolderPaths::IsFolderRecord(records[i])) folders.NoteFolder(16 + static_cast<std::int64_t>(i), records[i]);
    for (const auto& record : records) {
        const auto parent = ReadParentReference(FindAttribute(record, layout::attr::kFileName, true));
        if (parent) CheckPath(folders.PathOf(*parent));
    }
    for (std::int64_t n = 14; n < 20; ++n) CheckPath(folders.PathOf(static_cast<std::uint64_t>(n)));

    if (records.empty()) return;
    Outcome<BitmapExtent> extent = ReadBitmapExtent(records[0]);
    if (!extent) return;
    BorrowedVolume volume(input);
    ClusterBitmap bitmap(volume, 512, *extent);
    for (const auto& record : records) {
        auto use = bitmap.CountForData(FindAttribute(record, layout::attr::kData, false));
        if (!use) continue;
        VERANDOL_FUZZ_CHECK(use->in_use >= 0 && use->in_use <= use->total);
        const int share = FreeSharePercent(*use);
        VERANDOL_FUZZ_CHECK(share >= 0 && share <= 100);
        VERANDOL_FUZZ_CHECK((share == 100) == (use->in_use == 0));
    }
}

}  // namespace verandol::fuzz
