#include "tests/reliability_support.h"

#include <stdexcept>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "fuzz/volume_entry.h"
#include "ntfs/attributes.h"
#include "ntfs/fixups.h"
#include "ntfs/layout.h"
#include "recover/output_name.h"

namespace verandol::testing {

namespace fs = std::filesystem;

FixtureCopy::FixtureCopy(const std::string& name)
    : manifest(LoadManifest(name)), image(ReadWholeFile(FixtureImagePath(name))) {}

const ManifestFile& FixtureCopy::DeletedFile(const std::string& name) const {
    for (const ManifestFile& f : manifest.files)
        if (f.deleted && f.name == name) return f;
    throw std::runtime_error("no deleted file " + name);
}

std::vector<Recovery> RecoverAll(ByteSource& volume, const ScanCollector& scan, const std::string& folder,
                                 bool own_names, std::int64_t max_size) {
    std::vector<Recovery> recoveries;
    if (!scan.published) return recoveries;
    for (std::size_t i = 0; i < scan.rows.size(); ++i) {
        const DeletedFileRow& row = scan.rows[i];
        if (row.size > max_size) continue;
        const std::string path = OutputPath(folder, own_names, row.name, static_cast<int>(i));
        RecoverResult result =
            RecoverFile(volume, row.position_text, scan.published->geometry, scan.published->mft_runs, path);
        EXPECT_FALSE(fuzz::HoldsTemporaryFile(folder)) << row.name << " left its temporary file";
        recoveries.push_back({row, std::move(result), path});
    }
    return recoveries;
}

void ExpectHonestOutcome(const ScanCollector& scan, const std::vector<Recovery>& recoveries,
                         const std::string& folder) {
    ASSERT_TRUE(scan.end.has_value()) << "the scan never ended";
    if (*scan.end == ScanEnd::Failed) {
        EXPECT_FALSE(scan.reason.empty());
    }
    std::set<std::string> produced;
    for (const Recovery& r : recoveries)
        if (r.result.status != RecoverStatus::NotWritten) produced.insert(r.path);
    for (const Recovery& r : recoveries) {
        switch (r.result.status) {
        case RecoverStatus::Written:
            EXPECT_TRUE(fs::is_regular_file(r.path)) << r.row.name;
            break;
        case RecoverStatus::Incomplete:
        case RecoverStatus::Unchecked:
            EXPECT_TRUE(fs::is_regular_file(r.path)) << r.row.name;
            EXPECT_FALSE(r.result.reason.empty()) << r.row.name;
            break;
        case RecoverStatus::NotWritten:
            EXPECT_FALSE(r.result.reason.empty()) << r.row.name;
            if (!produced.count(r.path)) {
                EXPECT_FALSE(fs::exists(r.path)) << r.row.name << " left a file";
            }
            break;
        }
    }
    EXPECT_FALSE(fuzz::HoldsTemporaryFile(folder));
}

void PatchRecord(Bytes& image, std::int64_t record_position, std::size_t offset, const Bytes& bytes) {
    for (std::size_t i = offset; i < offset + bytes.size(); ++i)
        ASSERT_LT(i % layout::record::kFixupStride, layout::record::kFixupStride - 2)
            << "the patch would overwrite an update sequence number";
    std::copy(bytes.begin(), bytes.end(), image.begin() + record_position + static_cast<std::ptrdiff_t>(offset));
}

std::size_t AttributeOffset(const Bytes& image, std::int64_t record_position, std::size_t record_size,
                            std::uint32_t type) {
    Bytes record(image.begin() + record_position,
                 image.begin() + record_position + static_cast<std::ptrdiff_t>(record_size));
    EXPECT_TRUE(ApplyFixups(record));
    const ByteSpan found = FindAttribute(record, type, type == layout::attr::kFileName);
    EXPECT_FALSE(found.empty()) << "no attribute of type " << type;
    return static_cast<std::size_t>(found.data() - record.data());
}

}  // namespace verandol::testing
