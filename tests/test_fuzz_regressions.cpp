// Replays every input that once broke a fuzz target, and the seeds, through
// the same entry functions the fuzzers run. A broken promise aborts; under
// the sanitizer build a bad read fails the test as it failed the fuzzer.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "fuzz/attribute_list_entry.h"
#include "fuzz/boot_sector_entry.h"
#include "fuzz/boot_candidate_entry.h"
#include "fuzz/carve_entry.h"
#include "fuzz/content_text_entry.h"
#include "fuzz/lznt1_entry.h"
#include "fuzz/disk_entry.h"
#include "fuzz/folders_entry.h"
#include "fuzz/index_entries_entry.h"
#include "fuzz/jpeg_scan_entry.h"
#include "fuzz/record_groups_entry.h"
#include "fuzz/mount_info_entry.h"
#include "fuzz/naming_entry.h"
#include "fuzz/record_entry.h"
#include "fuzz/rescue_map_entry.h"
#include "fuzz/run_list_entry.h"
#include "fuzz/volume_entry.h"
#include "tests/fixture_support.h"

namespace verandol {
namespace {

namespace fs = std::filesystem;
using Entry = std::function<void(ByteSpan)>;

const std::map<std::string, Entry>& Entries() {
    static const std::map<std::string, Entry> entries = {
        {"attribute_list", fuzz::FuzzAttributeList},
        {"boot_sector", fuzz::FuzzBootSector},
        {"boot_candidate", fuzz::FuzzBootCandidate},
        {"lznt1", fuzz::FuzzLznt1},
        {"carve_png", fuzz::FuzzCarvePng},
        {"carve_jpeg", fuzz::FuzzCarveJpeg},
        {"carve_gzip", fuzz::FuzzCarveGzip},
        {"carve_zip", fuzz::FuzzCarveZip},
        {"carve_pdf", fuzz::FuzzCarvePdf},
        {"carve_gif", fuzz::FuzzCarveGif},
        {"carve_mp3", fuzz::FuzzCarveMp3},
        {"carve_flac", fuzz::FuzzCarveFlac},
        {"carve_ogg", fuzz::FuzzCarveOgg},
        {"carve_matroska", fuzz::FuzzCarveMatroska},
        {"carve_7z", fuzz::FuzzCarveSevenZip},
        {"carve_rar", fuzz::FuzzCarveRar},
        {"carve_pe", fuzz::FuzzCarvePe},
        {"carve_text", fuzz::FuzzCarveText},
        {"carve_pass", fuzz::FuzzCarvePass},
        {"carve_bmp", fuzz::FuzzCarveBmp},
        {"carve_tiff", fuzz::FuzzCarveTiff},
        {"carve_riff", fuzz::FuzzCarveRiff},
        {"carve_iso_bmff", fuzz::FuzzCarveIsoBmff},
        {"carve_sqlite", fuzz::FuzzCarveSqlite},
        {"carve_ole2", fuzz::FuzzCarveOle2},
        {"carve_gap", fuzz::FuzzCarveGap},
        {"carve_jpeg_scan", fuzz::FuzzJpegScan},
        {"content_text", fuzz::FuzzContentText},
        {"disk", fuzz::FuzzDisk},
        {"folders", fuzz::FuzzFolders},
        {"index_entries", fuzz::FuzzIndexEntries},
        {"record_groups", fuzz::FuzzRecordGroups},
        {"mount_info", fuzz::FuzzMountInfo},
        {"naming_usn_records", fuzz::FuzzUsnRecords},
        {"naming_slack", fuzz::FuzzStaleFileNames},
        {"naming_exif_name", fuzz::FuzzExifName},
        {"naming_pdf_title", fuzz::FuzzPdfTitle},
        {"naming_office_title", fuzz::FuzzOfficeTitle},
        {"naming_volume", fuzz::FuzzNamingVolume},
        {"record", fuzz::FuzzRecord},
        {"rescue_map", fuzz::FuzzRescueMap},
        {"run_list", fuzz::FuzzRunList},
        {"volume",
         [](ByteSpan input) {
             testing::TempDir out;
             fuzz::FuzzVolume(input, out.path());
             EXPECT_TRUE(out.Entries().empty()) << "the recovered files are removed after each input";
         }},
    };
    return entries;
}

struct Input {
    std::string target;
    fs::path path;
};

std::vector<Input> InputsUnder(const fs::path& root) {
    std::vector<Input> inputs;
    for (const auto& [target, entry] : Entries()) {
        if (!fs::is_directory(root / target)) continue;
        for (const auto& file : fs::directory_iterator(root / target)) inputs.push_back({target, file.path()});
    }
    std::sort(inputs.begin(), inputs.end(), [](const Input& a, const Input& b) { return a.path < b.path; });
    return inputs;
}

std::string InputName(const ::testing::TestParamInfo<Input>& info) {
    std::string name = info.param.target + "_" + info.param.path.filename().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

class FuzzInput : public ::testing::TestWithParam<Input> {};

TEST_P(FuzzInput, RunsThroughItsEntryWithoutFault) {
    const std::vector<std::uint8_t> bytes = testing::ReadWholeFile(GetParam().path.string());
    Entries().at(GetParam().target)(ByteSpan(bytes));
}

INSTANTIATE_TEST_SUITE_P(Regressions, FuzzInput,
                         ::testing::ValuesIn(InputsUnder(VERANDOL_SOURCE_DIR "/tests/fuzz-regressions")), InputName);
INSTANTIATE_TEST_SUITE_P(Seeds, FuzzInput, ::testing::ValuesIn(InputsUnder(VERANDOL_SOURCE_DIR "/fuzz/corpus")),
                         InputName);

TEST(FuzzCorpus, EveryTargetHasSeeds) {
    for (const auto& [target, entry] : Entries())
        EXPECT_TRUE(fs::is_directory(fs::path(VERANDOL_SOURCE_DIR) / "fuzz/corpus" / target)) << target;
}

}  // namespace
}  // namespace verandol
