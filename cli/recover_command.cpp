#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/filter_options.h"
#include "cli/interrupt.h"
#include "cli/progress_line.h"
#include "cli/text_escape.h"
#include "cli/unique_paths.h"
#include "cli/volume_scan.h"
#include "text/ascii_case.h"
#include "recover/kept_folders.h"
#include "recover/output_device_check.h"
#include "recover/output_name.h"
#include "recover/recover_file.h"
#include "disk/open_volume.h"

namespace verandol::cli {

namespace {

struct RecoverArgs {
    std::string volume;
    std::string out_dir;
    bool name_by_index = false;
    bool keep_folders = false;
    bool allow_same_device = false;
    bool deep = false;
    bool all = false;  // files in use too
    std::vector<std::string> positions;
};

// What a recovery needs of a listed row; the rest of the row is dropped as
// the scan goes, so memory stays small on volumes with many deleted files.
struct ListedFile {
    std::string position_text;
    std::string name;
    std::string folder;
    int index = 0;
    bool found_deep = false;
    FoundGeometry found;
};

// One file asked for; `file` is null when the scan did not list the position.
struct Job {
    std::string asked;
    const ListedFile* file = nullptr;
};

bool SameText(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return AsciiLower(x) == AsciiLower(y);
    });
}

bool Asked(const std::vector<std::string>& positions, const std::string& position_text) {
    return positions.empty() || std::any_of(positions.begin(), positions.end(),
                                            [&](const std::string& p) { return SameText(p, position_text); });
}

std::vector<Job> JobsFor(const std::vector<std::string>& positions, const std::vector<ListedFile>& files) {
    std::vector<Job> jobs;
    if (positions.empty()) {
        for (const ListedFile& file : files) jobs.push_back({file.position_text, &file});
        return jobs;
    }
    for (const std::string& position : positions) {
        auto found = std::find_if(files.begin(), files.end(),
                                  [&](const ListedFile& file) { return SameText(file.position_text, position); });
        jobs.push_back(found == files.end() ? Job{position, nullptr} : Job{found->position_text, &*found});
    }
    return jobs;
}

void PrintLine(std::initializer_list<std::string_view> fields) {
    const std::string line = TsvLine(fields) + '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
}

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

int RecoverCommand(const std::vector<std::string>& all_args) {
    const FilterArgs filters = TakeFilterOptions(all_args);
    if (!filters.error.empty()) return Fail(kExitUsage, "recover: " + filters.error);
    RecoverArgs parsed;
    std::vector<std::string> operands;
    for (const std::string& arg : filters.rest) {
        if (arg == "--name-by-index") {
            parsed.name_by_index = true;
        } else if (arg == "--keep-folders") {
            parsed.keep_folders = true;
        } else if (arg == "--allow-same-device") {
            parsed.allow_same_device = true;
        } else if (arg == "--deep") {
            parsed.deep = true;
        } else if (arg == "--all") {
            parsed.all = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Fail(kExitUsage, "recover: unknown option " + arg);
        } else {
            operands.push_back(arg);
        }
    }
    if (operands.size() < 2) return Fail(kExitUsage, "recover: missing VOLUME or OUTDIR");
    parsed.volume = operands[0];
    parsed.out_dir = operands[1];
    parsed.positions.assign(operands.begin() + 2, operands.end());
    // OutputPath adds its own "/".
    while (parsed.out_dir.size() > 1 && parsed.out_dir.back() == '/') parsed.out_dir.pop_back();
    if (!IsDirectory(parsed.out_dir)) return Fail(kExitUsage, "recover: no such folder " + parsed.out_dir);
    if (!parsed.allow_same_device) {
        const std::string refusal = OutputDeviceRefusal(parsed.volume, parsed.out_dir);
        if (!refusal.empty())
            return Fail(kExitUsage, "recover: " + refusal + " (--allow-same-device writes there anyway)");
    }

    std::vector<ListedFile> files;
    int listed = 0;
    ScanHooks hooks;
    hooks.row = [&](DeletedFileRow row) {
        if (Asked(parsed.positions, row.position_text) && filters.filter.AcceptsBeforeFolder(row))
            files.push_back({std::move(row.position_text), std::move(row.name), {}, listed, row.found_deep, row.found});
        ++listed;
    };
    // Folders come after the walk, one per listed row.
    hooks.folders = [&](std::vector<std::string> folders) {
        for (ListedFile& file : files)
            if (static_cast<std::size_t>(file.index) < folders.size()) file.folder = std::move(folders[file.index]);
        std::erase_if(files, [&](const ListedFile& file) { return !filters.filter.AcceptsFolder(file.folder); });
    };
    const ScanOutcome outcome = RunScan(parsed.volume, hooks, ScanOptions{parsed.all}, parsed.deep);
    if (outcome.end != ScanEnd::Completed || !outcome.geometry) {
        return Fail(kExitUsage, "cannot scan " + parsed.volume + ": " + outcome.reason);
    }
    const PublishedGeometry& published = *outcome.geometry;
    // The deep scan's files are read from one handle, with each one's own geometry.
    std::unique_ptr<ByteSource> deep_volume;
    if (parsed.deep) {
        Outcome<OpenedVolume> opened = OpenVolume(published.path);
        if (!opened) return Fail(kExitUsage, "cannot open " + published.path + ": " + opened.reason());
        deep_volume = std::move(opened->source);
    }

    const std::vector<Job> jobs = JobsFor(parsed.positions, files);
    const std::atomic<bool>& interrupted = CatchInterrupt();
    UniquePaths paths;
    KeptFolders kept(parsed.out_dir);
    ProgressLine progress("Recovering");
    bool all_done = true;
    long long finished = 0;
    for (const Job& job : jobs) {
        progress.Update(finished, static_cast<long long>(jobs.size()), "files");
        if (job.file == nullptr) {
            PrintLine({"failed", job.asked,
                       parsed.all ? "not a file listed by the scan" : "not a deleted file listed by the scan"});
            all_done = false;
            ++finished;
            continue;
        }
        const Outcome<std::string> path =
            parsed.keep_folders
                ? kept.PathFor(job.file->folder, job.file->name, job.file->index, !parsed.name_by_index)
                : paths.Claim(OutputPath(parsed.out_dir, !parsed.name_by_index, job.file->name, job.file->index));
        if (!path) {
            PrintLine({"failed", job.asked, path.reason()});
            all_done = false;
            ++finished;
            continue;
        }
        const BitmapExtent* bitmap = published.bitmap ? &*published.bitmap : nullptr;
        const RecoverResult result =
            job.file->found_deep
                ? RecoverFoundFile(*deep_volume, job.file->position_text, job.file->found, *path, &interrupted,
                                   bitmap, published.geometry.ClusterSize)
                : RecoverFile(published.path, job.file->position_text, published.geometry, published.mft_runs, *path,
                              &interrupted, bitmap, parsed.all);
        if (interrupted.load() && result.status == RecoverStatus::NotWritten) break;
        progress.Clear();
        switch (result.status) {
            case RecoverStatus::Written: PrintLine({"written", job.asked, *path}); break;
            case RecoverStatus::Incomplete:
                PrintLine({"incomplete", job.asked, *path, result.reason});
                all_done = false;
                break;
            case RecoverStatus::NotWritten:
                PrintLine({"failed", job.asked, result.reason});
                all_done = false;
                break;
        }
        ++finished;
        if (interrupted.load()) break;
    }
    progress.Clear();
    std::fflush(stdout);
    if (interrupted.load()) return Fail(kExitInterrupted, "interrupted");
    return all_done ? kExitDone : kExitSomeNotRecovered;
}

}  // namespace verandol::cli
