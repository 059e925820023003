#include "cli_runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace verandol::cli_test {

namespace {

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

CliRun RunCli(const std::vector<std::string>& args) {
    const TempDir capture;
    const std::string out_path = capture.path() + "/out";
    const std::string err_path = capture.path() + "/err";

    std::vector<std::string> owned{VERANDOL_CLI_PATH};
    owned.insert(owned.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : owned) argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error(std::string("cannot run ") + argv[0]);

    int wait_status = 0;
    waitpid(pid, &wait_status, 0);
    CliRun run;
    run.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
    run.out = ReadWhole(out_path);
    run.err = ReadWhole(err_path);
    return run;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
        fields.push_back(line.substr(start, tab - start));
    }
    fields.push_back(line.substr(start));
    return fields;
}

namespace {

// The byte position of MFT record `record`, following the MFT's extents
// (cluster runs) the way the volume lays it out.
std::int64_t RecordPosition(const nlohmann::json& manifest, std::int64_t record) {
    const std::int64_t cluster = manifest["geometry"]["cluster_size"];
    const std::int64_t record_size = manifest["geometry"]["record_size"];
    std::int64_t offset = record * record_size;
    for (const auto& extent : manifest["mft_extents"]) {
        const std::int64_t lcn = extent[0];
        const std::int64_t count = extent[1];
        if (offset < count * cluster) return lcn * cluster + offset;
        offset -= count * cluster;
    }
    throw std::runtime_error("record outside the MFT");
}

std::string HexText(std::int64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

}  // namespace

Fixture LoadFixture(const std::string& name) {
    Fixture fixture;
    fixture.image_path = std::string(VERANDOL_CLI_FIXTURE_DIR) + "/" + name + ".img";
    std::ifstream in(std::string(VERANDOL_CLI_MANIFEST_DIR) + "/" + name + ".manifest.json");
    fixture.manifest = nlohmann::json::parse(in);
    std::vector<std::pair<std::int64_t, ManifestFile>> deleted;
    for (const auto& file : fixture.manifest["files"]) {
        if (!file["deleted"].get<bool>()) continue;
        const std::int64_t position = RecordPosition(fixture.manifest, file["mft_record"]);
        deleted.push_back({position, {file["name"], file["size"], file["sha256"], HexText(position)}});
    }
    std::sort(deleted.begin(), deleted.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [position, file] : deleted) fixture.deleted.push_back(std::move(file));
    return fixture;
}

std::vector<std::string> FixtureNames() {
    const std::string suffix = ".manifest.json";
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(VERANDOL_CLI_MANIFEST_DIR)) {
        const std::string file = entry.path().filename().string();
        if (file.size() <= suffix.size() || !file.ends_with(suffix)) continue;
        const std::string name = file.substr(0, file.size() - suffix.size());
        if (std::filesystem::exists(std::string(VERANDOL_CLI_FIXTURE_DIR) + "/" + name + ".img")) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string FixtureTestName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

std::string Sha256OfFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "missing";
    // Reading through a pipe keeps odd file names away from the shell.
    std::string command = "sha256sum < '" + path + "'";
    if (path.find('\'') != std::string::npos) throw std::runtime_error("quote in " + path);
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) throw std::runtime_error("cannot run sha256sum");
    char digest[65] = {};
    const std::size_t got = std::fread(digest, 1, 64, pipe);
    pclose(pipe);
    return std::string(digest, got);
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "verandol-cli-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace verandol::cli_test
