// Running the built verandol-cli and the fixture volumes it is run against.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/fixture_support.h"

namespace verandol::cli_test {

struct CliRun {
    int status = -1;  // the exit status, or 128 + signal
    std::string out;
    std::string err;
};

// Runs verandol-cli with `args`, stdin closed, and waits for it.
CliRun RunCli(const std::vector<std::string>& args);
// Runs `argv` (a program's path first) the same way: for verandol-cli behind
// a wrapper that changes its user or environment.
CliRun RunProgram(std::vector<std::string> argv);

std::vector<std::string> SplitLines(const std::string& text);
std::vector<std::string> SplitTabs(const std::string& line);

// `scan --json` output as JSON Lines: every line must parse as one object
// (a line that does not fails the running test). `FileRows` keeps the
// files' rows alone, leaving out the volume's figures, the totals and what
// could not be read.
struct JsonListing {
    std::vector<nlohmann::json> objects;  // every line, in order
    std::vector<nlohmann::json> FileRows() const;
    // The first object with `key` ("volume", "totals", "unreadable"), or null.
    nlohmann::json Object(const std::string& key) const;
};
JsonListing ParseJsonLines(const std::string& out);

// What the CLI tests need of a manifest's deleted file.
struct DeletedFile {
    std::string name;
    std::int64_t size = 0;
    std::string sha256;
    std::string position_text;  // where the scan lists its record
    std::string folder;         // the folder of its manifest path
    int recoverable = 100;      // the share of its clusters still free
};

struct Fixture {
    std::string image_path;
    testing::Manifest manifest;
    std::vector<DeletedFile> deleted;  // in record order, as the scan lists them
};

// The decompressed image and manifest of a fixture such as "sec512-clu4k".
// `manifest_file` names a manifest kept outside the common set, such as
// "folders.folders.json".
Fixture LoadFixture(const std::string& name, const std::string& manifest_file = {});

std::string Sha256OfFile(const std::string& path);

using testing::FixtureNames;
using testing::TempDir;
inline std::string FixtureTestName(const ::testing::TestParamInfo<std::string>& info) {
    return testing::FixtureTestName(info);
}

}  // namespace verandol::cli_test
