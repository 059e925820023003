// A recovered file counts as written only once it and its name are on the
// device. This executable stands in for fsync, so a flush can be made to fail.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "recover/recover_file.h"
#include "scan/scan_collector.h"
#include "scan/scan_volume.h"
#include "tests/fixture_support.h"

namespace {

int flushes = 0;
int failing_flush = 0;  // the flush that fails with EIO, counting from 1; 0 for none

}  // namespace

// Found before the C library's for every call in this program.
extern "C" int fsync(int fd) {
    ++flushes;
    if (flushes == failing_flush) {
        errno = EIO;
        return -1;
    }
    static auto* real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fsync"));
    return real(fd);
}

namespace verandol {
namespace {

using namespace testing;

TEST(DurableOutput, TheFileThenItsFolderAreFlushedAndAFailedFlushIsAFailure) {
    const std::string fixture = "sec512-clu4k";
    ScanCollector scan;
    ScanVolumePath(fixture, FixtureImagePath(fixture), scan);
    ASSERT_TRUE(scan.published);
    ASSERT_FALSE(scan.rows.empty());
    const DeletedFileRow& row = scan.rows.front();
    const auto recover = [&](const std::string& path) {
        flushes = 0;
        return RecoverFile(scan.published->path, row.position_text, scan.published->geometry,
                           scan.published->mft_runs, path);
    };
    TempDir out;

    failing_flush = 0;
    RecoverResult result = recover(out.path() + "/whole");
    EXPECT_EQ(result.status, RecoverStatus::Written) << result.reason;
    EXPECT_EQ(flushes, 2) << "the file, then its folder";

    // The file's own flush fails: nothing takes the name, nothing is left.
    failing_flush = 1;
    result = recover(out.path() + "/unflushed");
    EXPECT_EQ(result.status, RecoverStatus::NotWritten);
    EXPECT_NE(result.reason.find("cannot flush"), std::string::npos) << result.reason;
    EXPECT_FALSE(std::filesystem::exists(out.path() + "/unflushed"));

    // The folder's flush fails: the file has its name but may not keep it.
    failing_flush = 2;
    result = recover(out.path() + "/unnamed");
    EXPECT_EQ(result.status, RecoverStatus::NotWritten);
    EXPECT_NE(result.reason.find("folder"), std::string::npos) << result.reason;
    EXPECT_EQ(out.Entries(), (std::vector<std::string>{"unnamed", "whole"})) << "no temporary file stays";
}

}  // namespace
}  // namespace verandol
