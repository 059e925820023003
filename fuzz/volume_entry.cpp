#include "fuzz/volume_entry.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "recover/output_name.h"
#include "recover/recover_file.h"
#include "recover/row_start.h"
#include "scan/scan_collector.h"

namespace verandol::fuzz {

namespace {

namespace fs = std::filesystem;

void Empty(const std::string& folder) {
    for (const auto& entry : fs::directory_iterator(folder)) fs::remove_all(entry.path());
}

void CheckScanEnd(const ScanCollector& scan) {
    VERANDOL_FUZZ_CHECK(scan.end.has_value());
    if (*scan.end == ScanEnd::Failed) VERANDOL_FUZZ_CHECK(!scan.reason.empty());
    VERANDOL_FUZZ_CHECK(static_cast<std::int64_t>(scan.rows.size()) <= std::max(scan.progress_max, 0));
}

}  // namespace

bool HoldsTemporaryFile(const std::string& folder) {
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(".verandol-") && name.ends_with(".part")) return true;
    }
    return false;
}

void FuzzVolume(ByteSpan input, const std::string& output_folder) {
    BorrowedVolume volume(input);
    ScanCollector scan;
    ScanVolume(volume, "fuzz", "", scan);
    CheckScanEnd(scan);
    if (!scan.published) return;

    std::set<std::string> produced;
    for (std::size_t i = 0; i < scan.rows.size(); ++i) {
        const DeletedFileRow& row = scan.rows[i];
        if (row.size < 0 || row.size > kMaxRecoveredBytes) continue;
        const std::string path = OutputPath(output_folder, true, row.name, static_cast<int>(i));
        VERANDOL_FUZZ_CHECK(fs::path(path).parent_path() == fs::path(output_folder));
        const RecoverResult result =
            RecoverFile(volume, row.position_text, scan.published->geometry, scan.published->mft_runs, path);
        VERANDOL_FUZZ_CHECK(!HoldsTemporaryFile(output_folder));
        // The first bytes a preview reads are the recovered file's own.
        RecoveryRequest request;
        request.position_text = row.position_text;
        constexpr std::size_t kStart = 4096;
        const RowStart start = ReadRowStart(volume, *scan.published, request, kStart);
        if (start.refusal.empty())
            VERANDOL_FUZZ_CHECK(start.bytes.size() ==
                                static_cast<std::size_t>(std::clamp<std::int64_t>(start.size, 0, kStart)));
        if (result.status != RecoverStatus::NotWritten) {
            VERANDOL_FUZZ_CHECK(start.refusal.empty());
            std::ifstream written(path, std::ios::binary);
            std::vector<char> head(start.bytes.size());
            written.read(head.data(), static_cast<std::streamsize>(head.size()));
            VERANDOL_FUZZ_CHECK(written && std::equal(head.begin(), head.end(), start.bytes.begin(),
                                                      [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; }));
        }
        if (result.status == RecoverStatus::Written) {
            VERANDOL_FUZZ_CHECK(fs::is_regular_file(path));
            produced.insert(path);
        } else if (result.status == RecoverStatus::Incomplete) {
            VERANDOL_FUZZ_CHECK(fs::is_regular_file(path) && !result.reason.empty());
            produced.insert(path);
        } else {
            VERANDOL_FUZZ_CHECK(!result.reason.empty());
            VERANDOL_FUZZ_CHECK(produced.count(path) || !fs::exists(path));
        }
    }
    Empty(output_folder);
}

}  // namespace verandol::fuzz
