#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "text/record_texts.h"
#include "recover/recover_file.h"
#include "scan/scan_collector.h"
#include "scan/scan_volume.h"
#include "tests/fixture_support.h"
#include "tests/record_builder.h"

namespace verandol {
namespace {

using namespace testing;
namespace fs = std::filesystem;

const VolumeGeometry kCraftedGeometry{1024, 4096, 512, 8};

class RecoverFixture : public ::testing::TestWithParam<std::string> {};

TEST_P(RecoverFixture, EveryListedFileComesBackWithItsManifestHash) {
    const Manifest m = LoadManifest(GetParam());
    ScanCollector c;
    ScanVolumePath(GetParam(), FixtureImagePath(GetParam()), c);
    ASSERT_TRUE(c.published);
    TempDir out;
    std::map<std::int64_t, std::string> hash_by_position;
    for (const auto& row : c.rows) {
        const std::string path = out.path() + "/" + std::to_string(row.position);
        RecoverResult r =
            RecoverFile(c.published->path, row.position_text, c.published->geometry, c.published->mft_runs, path);
        ASSERT_EQ(r.status, RecoverStatus::Written) << row.name << ": " << r.reason;
        hash_by_position[row.position] = Sha256Hex(ReadWholeFile(path));
    }
    for (const ManifestFile& f : m.Deleted()) {
        const std::int64_t position = m.RecordPosition(f.mft_record);
        EXPECT_EQ(hash_by_position[position], f.sha256) << f.path;
    }
    EXPECT_EQ(out.Entries().size(), c.rows.size()) << "no temporary file stays behind";
}

INSTANTIATE_TEST_SUITE_P(AllFixtures, RecoverFixture, ::testing::ValuesIn(FixtureNames()),
                         FixtureTestName<::testing::TestParamInfo<std::string>>);

// A crafted volume whose record 16 holds the given $DATA, clusters 16 and up
// filled with their own cluster number.
struct CraftedFile {
    CraftedVolume v;
    MemoryVolume volume;
    explicit CraftedFile(const Bytes& data, std::uint16_t flags = 0, std::int64_t clusters = 64)
        : v(CraftVolume({Record({FileName(u"f", 1), data}, flags)}, clusters)), volume(Fill(v.bytes)) {}
    static Bytes Fill(Bytes b) {
        for (std::size_t i = 16 * 4096; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i / 4096);
        return b;
    }
    RecoverResult Recover(const std::string& path, const std::atomic<bool>* stop = nullptr) {
        return RecoverFile(volume, PositionCaption(CraftedVolume::RecordPosition(16)), kCraftedGeometry, {}, path,
                           stop);
    }
};

Bytes Runs(std::initializer_list<Bytes> entries) {
    Bytes list;
    for (const Bytes& e : entries) list.insert(list.end(), e.begin(), e.end());
    list.push_back(0);
    return list;
}

Bytes Clusters(std::uint8_t first, int count) {
    Bytes b;
    for (int i = 0; i < count; ++i) b.insert(b.end(), 4096, static_cast<std::uint8_t>(first + i));
    return b;
}

TEST(RecoverFile, RunsInListOrderWithSparseRunsAsZerosCutOrExtendedToTheRealSize) {
    // 2 clusters at 20, 1 at 20 - 4 = 16, then 2 sparse clusters.
    const Bytes runs = Runs({RunListEntry(2, 20), RunListEntry(1, -4), RunListEntry(2, 0)});
    Bytes expected = Clusters(20, 2);
    Bytes c16 = Clusters(16, 1);
    expected.insert(expected.end(), c16.begin(), c16.end());
    expected.insert(expected.end(), 2 * 4096, 0);
    TempDir out;
    for (std::int64_t real : {std::int64_t{12000}, std::int64_t{5 * 4096}, std::int64_t{5 * 4096 + 2656}}) {
        CraftedFile f(NonResidentData(runs, real));
        const std::string path = out.path() + "/f" + std::to_string(real);
        // Runs that end before the real size leave zeros that are not the
        // file's: the file is written but incomplete.
        const RecoverResult r = f.Recover(path);
        ASSERT_EQ(r.status, real > 5 * 4096 ? RecoverStatus::Incomplete : RecoverStatus::Written) << r.reason;
        Bytes want = expected;
        want.resize(static_cast<std::size_t>(real), 0);
        EXPECT_EQ(ReadWholeFile(path), want) << real;
    }
}

TEST(RecoverFile, AZeroOffsetFieldIsSparseEvenForTheFirstRun) {
    CraftedFile f(NonResidentData(Bytes{0x11, 0x01, 0x00, 0x00}, 4096));
    TempDir out;
    ASSERT_EQ(f.Recover(out.path() + "/z").status, RecoverStatus::Written);
    EXPECT_EQ(ReadWholeFile(out.path() + "/z"), Bytes(4096, 0));
}

TEST(RecoverFile, ResidentAndEmptyData) {
    TempDir out;
    CraftedFile empty(ResidentData({}));
    ASSERT_EQ(empty.Recover(out.path() + "/e").status, RecoverStatus::Written);
    EXPECT_TRUE(ReadWholeFile(out.path() + "/e").empty());
    CraftedFile no_runs(NonResidentData(Bytes{0x00}, 0));
    ASSERT_EQ(no_runs.Recover(out.path() + "/n").status, RecoverStatus::Written);
    EXPECT_TRUE(ReadWholeFile(out.path() + "/n").empty());
    CraftedFile small(ResidentData(Bytes{'h', 'e', 'y'}));
    ASSERT_EQ(small.Recover(out.path() + "/s").status, RecoverStatus::Written);
    EXPECT_EQ(ReadWholeFile(out.path() + "/s"), (Bytes{'h', 'e', 'y'}));
}

TEST(RecoverFile, ClustersPastTheVolumeOrBeforeItAreZerosAndMarkTheFileIncomplete) {
    TempDir out;
    // 4 clusters from 62 on a 64-cluster volume: the last two are missing.
    CraftedFile past(NonResidentData(Runs({RunListEntry(4, 62)}), 4 * 4096));
    RecoverResult r = past.Recover(out.path() + "/p");
    EXPECT_EQ(r.status, RecoverStatus::Incomplete);
    EXPECT_FALSE(r.reason.empty());
    Bytes want = Clusters(62, 2);
    want.resize(4 * 4096, 0);
    EXPECT_EQ(ReadWholeFile(out.path() + "/p"), want);

    CraftedFile negative(NonResidentData(Runs({RunListEntry(1, 20), RunListEntry(1, -40)}), 2 * 4096));
    EXPECT_EQ(negative.Recover(out.path() + "/n").status, RecoverStatus::Incomplete);

    // A run list cut short: the runs before the damage are kept, the rest is zeros.
    Bytes cut = Runs({RunListEntry(1, 20)});
    cut.back() = 0x33;
    CraftedFile damaged(NonResidentData(cut, 3 * 4096));
    EXPECT_EQ(damaged.Recover(out.path() + "/d").status, RecoverStatus::Incomplete);
    Bytes head = ReadWholeFile(out.path() + "/d");
    ASSERT_EQ(head.size(), 3u * 4096);
    EXPECT_EQ(head[0], 20);
}

// NTFS allocates whole clusters, so a file's last run may reach past the end
// of a volume whose size is not a whole number of clusters; only the bytes
// past the real size are missing then, and nothing is.
TEST(RecoverFile, ALastRunPastTheVolumeEndIsWholeWhileTheRealSizeStaysInside) {
    TempDir out;
    for (std::int64_t real : {std::int64_t{2 * 4096 - 100}, std::int64_t{2 * 4096}}) {
        CraftedFile f(NonResidentData(Runs({RunListEntry(4, 62)}), real));
        const std::string path = out.path() + "/w" + std::to_string(real);
        RecoverResult r = f.Recover(path);
        EXPECT_EQ(r.status, RecoverStatus::Written) << real << ": " << r.reason;
        Bytes want = Clusters(62, 2);
        want.resize(static_cast<std::size_t>(real));
        EXPECT_EQ(ReadWholeFile(path), want) << real;
    }
}

TEST(RecoverFile, RecordsThatAreNoDeletedFileWriteNothing) {
    TempDir out;
    const std::string path = out.path() + "/x";
    for (std::uint16_t flags : {std::uint16_t{1}, std::uint16_t{3}}) {
        CraftedFile in_use(ResidentData({'a'}), flags);
        RecoverResult r = in_use.Recover(path);
        EXPECT_EQ(r.status, RecoverStatus::NotWritten);
    }
    CraftedFile no_data(StandardInformation(1, 2));
    EXPECT_EQ(no_data.Recover(path).status, RecoverStatus::NotWritten);
    CraftedFile file(ResidentData({'a'}));
    for (const char* caption : {"0x", "zz", "0xNOPE", "0x" "FFFFFFFFFFFFFFFFFF", "0x10"})
        EXPECT_EQ(RecoverFile(file.volume, caption, kCraftedGeometry, {}, path).status, RecoverStatus::NotWritten)
            << caption;
    EXPECT_TRUE(out.Entries().empty());
}

TEST(RecoverFile, FailuresLeaveAnExistingFileAndNoTemporaryFile) {
    TempDir out;
    const std::string path = out.path() + "/keep.txt";
    std::ofstream(path) << "precious";
    CraftedFile in_use(ResidentData({'a'}), 1);
    EXPECT_EQ(in_use.Recover(path).status, RecoverStatus::NotWritten);

    std::atomic<bool> stop{true};
    CraftedFile big(NonResidentData(Runs({RunListEntry(8, 20)}), 8 * 4096));
    RecoverResult r = big.Recover(path, &stop);
    EXPECT_EQ(r.status, RecoverStatus::NotWritten);
    EXPECT_EQ(out.Entries(), std::vector<std::string>{"keep.txt"});
    EXPECT_EQ(ReadWholeFile(path), (Bytes{'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'}));

    // Success replaces it.
    CraftedFile small(ResidentData({'n', 'e', 'w'}));
    EXPECT_EQ(small.Recover(path).status, RecoverStatus::Written);
    EXPECT_EQ(ReadWholeFile(path), (Bytes{'n', 'e', 'w'}));
    EXPECT_EQ(out.Entries(), std::vector<std::string>{"keep.txt"});
}

TEST(RecoverFile, AnUnwritableFolderIsReported) {
    CraftedFile small(ResidentData({'a'}));
    for (const char* path : {"/proc/verandol-recovered", "/nonexistent-folder/verandol/a"}) {
        RecoverResult r = small.Recover(path);
        EXPECT_EQ(r.status, RecoverStatus::NotWritten);
        EXPECT_FALSE(r.reason.empty());
    }
}

#if !defined(__SANITIZE_ADDRESS__)
TEST(RecoverFile, MemoryStaysSmallWhateverTheFileSize) {
    // A 320 MiB file in one run of an image on disk; the image is sparse, so
    // making it costs nothing.
    constexpr std::int64_t kClusters = 80 * 1024;
    TempDir dir;
    CraftedVolume v = CraftVolume({Record({FileName(u"big", 1),
                                           NonResidentData(Runs({RunListEntry(kClusters, 16)}), kClusters * 4096)})},
                                  16);
    const std::string image = dir.path() + "/big.img";
    {
        std::ofstream(image, std::ios::binary).write(reinterpret_cast<const char*>(v.bytes.data()),
                                                     static_cast<std::streamsize>(v.bytes.size()));
    }
    fs::resize_file(image, static_cast<std::uintmax_t>((16 + kClusters) * 4096));

    const pid_t child = fork();
    if (child == 0) {
        RecoverResult r = RecoverFile(image, PositionCaption(CraftedVolume::RecordPosition(16)), kCraftedGeometry, {},
                                      dir.path() + "/out");
        _exit(r.status == RecoverStatus::Written ? 0 : 1);
    }
    int status = 0;
    struct rusage usage {};
    ASSERT_EQ(wait4(child, &status, 0, &usage), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(fs::file_size(dir.path() + "/out"), static_cast<std::uintmax_t>(kClusters * 4096));
    EXPECT_LT(usage.ru_maxrss, 64 * 1024) << "peak RSS in KiB";
    RecordProperty("peak_rss_kib", std::to_string(usage.ru_maxrss));
}
#endif

}  // namespace
}  // namespace verandol
