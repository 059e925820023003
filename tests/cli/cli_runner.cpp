#include "cli_runner.h"

#include "text/record_texts.h"

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
    std::vector<std::string> owned{VERANDOL_CLI_PATH};
    owned.insert(owned.end(), args.begin(), args.end());
    return RunProgram(std::move(owned));
}

CliRun RunProgram(std::vector<std::string> owned) {
    const TempDir capture;
    const std::string out_path = capture.path() + "/out";
    const std::string err_path = capture.path() + "/err";

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

JsonListing ParseJsonLines(const std::string& out) {
    JsonListing listing;
    for (const std::string& line : SplitLines(out)) {
        const nlohmann::json object = nlohmann::json::parse(line, nullptr, false);
        EXPECT_TRUE(object.is_object()) << "not a JSON object: " << line;
        if (object.is_object()) listing.objects.push_back(object);
    }
    return listing;
}

std::vector<nlohmann::json> JsonListing::FileRows() const {
    std::vector<nlohmann::json> rows;
    for (const nlohmann::json& object : objects)
        if (!object.contains("volume") && !object.contains("totals") && !object.contains("unreadable"))
            rows.push_back(object);
    return rows;
}

nlohmann::json JsonListing::Object(const std::string& key) const {
    for (const nlohmann::json& object : objects)
        if (object.contains(key)) return object.at(key);
    return nullptr;
}

Fixture LoadFixture(const std::string& name, const std::string& manifest_file) {
    Fixture fixture;
    fixture.image_path = testing::FixtureImagePath(name);
    fixture.manifest = manifest_file.empty() ? testing::LoadManifest(name) : testing::LoadManifestFile(manifest_file);
    std::vector<std::pair<std::int64_t, DeletedFile>> deleted;
    for (const testing::ManifestFile& file : fixture.manifest.Deleted()) {
        // The scan lists records by index; on a fragmented MFT a later record
        // can lie at a lower position on the volume.
        const std::int64_t position = fixture.manifest.RecordPosition(file.mft_record);
        const std::string parent = file.path.substr(0, file.path.rfind('/'));
        deleted.push_back({file.mft_record, {file.name, file.size, file.sha256, PositionCaption(position),
                                             file.folder.value_or(parent.empty() ? "/" : parent),
                                             file.recoverable.value_or(100)}});
    }
    std::sort(deleted.begin(), deleted.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [position, file] : deleted) fixture.deleted.push_back(std::move(file));
    return fixture;
}

std::string Sha256OfFile(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return "missing";
    return testing::Sha256Hex(testing::ReadWholeFile(path));
}

}  // namespace verandol::cli_test
