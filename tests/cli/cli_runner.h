// Running the built verandol-cli and the fixture volumes it is run against.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace verandol::cli_test {

struct CliRun {
    int status = -1;  // the exit status, or 128 + signal
    std::string out;
    std::string err;
};

// Runs verandol-cli with `args`, stdin closed, and waits for it.
CliRun RunCli(const std::vector<std::string>& args);

std::vector<std::string> SplitLines(const std::string& text);
std::vector<std::string> SplitTabs(const std::string& line);

struct ManifestFile {
    std::string name;
    std::int64_t size = 0;
    std::string sha256;
    std::string position_text;  // where the scan lists its record
};

struct Fixture {
    std::string image_path;
    nlohmann::json manifest;
    std::vector<ManifestFile> deleted;  // in record order, as the scan lists them
};

// The decompressed image and manifest of a fixture such as "sec512-clu4k".
Fixture LoadFixture(const std::string& name);

std::string Sha256OfFile(const std::string& path);

// A fresh folder under the temp dir, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace verandol::cli_test

namespace verandol::cli_test {

// Every fixture whose manifest is in the source tree and whose image the
// build has decompressed.
std::vector<std::string> FixtureNames();

// "sec512-clu4k" as a test name: sec512_clu4k.
std::string FixtureTestName(const ::testing::TestParamInfo<std::string>& info);

}  // namespace verandol::cli_test
