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
#include "cli/volume_scan.h"
#include "text/ascii_case.h"
#include "recover/output_device_check.h"
#include "recover/recovery_step.h"

namespace verandol::cli {

namespace {

struct RecoverArgs {
    std::string volume;
    std::string out_dir;
    bool name_by_index = false;
    bool keep_folders = false;
    bool allow_same_device = false;
    bool deep = false;
    bool carve = false;
    bool all = false;  // files in use too
    bool keep_times = true;
    std::vector<std::string> positions;
    RowFilter filter;
};

// What a recovery needs of a listed row; the rest of the row is dropped as
// the scan goes, so memory stays small on volumes with many deleted files.
struct ListedFile {
    std::string position_text;
    std::string name;
    std::string type;  // what a nameless file's content told
    std::string folder;
    int index = 0;
    bool found_deep = false;
    FoundGeometry found;
    bool carved = false;
    CarvedExtent carved_extent;
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

void PrintLine(const std::vector<std::string>& fields) {
    const std::string line = TsvLine(fields) + '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
}

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The arguments, checked; a refusal is the usage message.
Outcome<RecoverArgs> ParseRecoverArgs(const std::vector<std::string>& all_args) {
    FilterArgs filters = TakeFilterOptions(all_args);
    if (!filters.error.empty()) return Refusal(filters.error);
    RecoverArgs parsed;
    parsed.filter = std::move(filters.filter);
    std::vector<std::string> operands;
    for (const std::string& arg : filters.rest) {
        if (arg == "--name-by-index") {
            parsed.name_by_index = true;
        } else if (arg == "--keep-folders") {
            parsed.keep_folders = true;
        } else if (arg == "--no-times") {
            parsed.keep_times = false;
        } else if (arg == "--allow-same-device") {
            parsed.allow_same_device = true;
        } else if (arg == "--deep") {
            parsed.deep = true;
        } else if (arg == "--all") {
            parsed.all = true;
        } else if (arg == "--carve") {
            parsed.carve = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Refusal("unknown option " + arg);
        } else {
            operands.push_back(arg);
        }
    }
    if (operands.size() < 2) return Refusal("missing VOLUME or OUTDIR");
    parsed.volume = operands[0];
    parsed.out_dir = operands[1];
    parsed.positions.assign(operands.begin() + 2, operands.end());
    // OutputPath adds its own "/".
    while (parsed.out_dir.size() > 1 && parsed.out_dir.back() == '/') parsed.out_dir.pop_back();
    if (!IsDirectory(parsed.out_dir)) return Refusal("no such folder " + parsed.out_dir);
    if (!parsed.allow_same_device) {
        const std::string refusal = OutputDeviceRefusal(parsed.volume, parsed.out_dir);
        if (!refusal.empty()) return Refusal(refusal + " (--allow-same-device writes there anyway)");
    }
    return parsed;
}

// Scans the volume and keeps the rows asked for that pass the filters.
struct Collected {
    ScanOutcome scan;
    std::vector<ListedFile> files;
};

Collected CollectFiles(const RecoverArgs& parsed) {
    Collected collected;
    std::vector<ListedFile>& files = collected.files;
    int listed = 0;
    ScanHooks hooks;
    hooks.row = [&](DeletedFileRow row) {
        if (Asked(parsed.positions, row.position_text) && parsed.filter.AcceptsBeforeFolder(row))
            files.push_back({std::move(row.position_text), std::move(row.name), std::move(row.type), {}, listed,
                             row.found_deep, row.found, row.carved, row.carved_extent});
        ++listed;
    };
    hooks.withdrawn = [&](std::size_t row) {
        const auto found = std::lower_bound(files.begin(), files.end(), row, [](const ListedFile& file, std::size_t at) {
            return static_cast<std::size_t>(file.index) < at;
        });
        if (found != files.end() && static_cast<std::size_t>(found->index) == row) files.erase(found);
    };
    // Folders come after the walk, one per listed row.
    hooks.folders = [&](std::vector<std::string> folders) {
        for (ListedFile& file : files)
            if (static_cast<std::size_t>(file.index) < folders.size()) file.folder = std::move(folders[file.index]);
        std::erase_if(files, [&](const ListedFile& file) { return !parsed.filter.AcceptsFolder(file.folder); });
    };
    collected.scan = RunScan(parsed.volume, hooks, ScanOptions{parsed.all}, parsed.deep, parsed.carve);
    return collected;
}

// Recovers every job in turn, printing a line for each; the exit status.
int RecoverJobs(const RecoverArgs& parsed, const PublishedGeometry& source, const std::vector<Job>& jobs,
                bool scan_losses) {
    const std::atomic<bool>& interrupted = CatchInterrupt();
    // The folder was checked before the scan, or the user allowed it.
    RecoveryRun run(source, &interrupted, false);
    run.KeepFileTimes(parsed.keep_times);
    const OutputNaming naming = parsed.keep_folders      ? OutputNaming::KeptFolders
                                : parsed.name_by_index ? OutputNaming::RowIndex
                                                       : OutputNaming::OwnName;
    ProgressLine progress("Recovering");
    bool all_done = true;
    long long finished = 0;
    for (const Job& job : jobs) {
        progress.Update(finished, static_cast<long long>(jobs.size()), "files");
        RecoveryStepResult result{RecoverStatus::NotWritten, {},
                                  parsed.all ? "not a file listed by the scan" : "not a deleted file listed by the scan"};
        if (job.file != nullptr) {
            result = run.Recover({job.file->position_text, job.file->name, job.file->folder, job.file->index,
                                  job.file->found_deep ? &job.file->found : nullptr,
                                  job.file->carved ? &job.file->carved_extent : nullptr, job.file->type},
                                 parsed.out_dir, naming);
            if (result.stopped) break;
        }
        progress.Clear();
        PrintLine(ReportLine(job.asked, result));
        all_done = all_done && result.status == RecoverStatus::Written;
        ++finished;
        if (interrupted.load()) break;
    }
    progress.Clear();
    std::fflush(stdout);
    if (interrupted.load()) return Fail(kExitInterrupted, "interrupted");
    if (run.UnreadFiles() > 0)
        std::fprintf(stderr,
                     "verandol-cli: note: the recovery could not read %lld bytes of the device: %d %s written "
                     "incomplete, with zeros only where the device failed\n",
                     static_cast<long long>(run.UnreadBytes()), run.UnreadFiles(),
                     run.UnreadFiles() == 1 ? "file was" : "files were");
    if (run.UnreadFiles() > 0 || scan_losses) return kExitUnreadable;
    return all_done ? kExitDone : kExitSomeNotRecovered;
}

}  // namespace

int RecoverCommand(const std::vector<std::string>& all_args) {
    const Outcome<RecoverArgs> parsed = ParseRecoverArgs(all_args);
    if (!parsed) return Fail(kExitUsage, "recover: " + parsed.reason());
    const Collected collected = CollectFiles(*parsed);
    const ScanOutcome& outcome = collected.scan;
    if (outcome.end != ScanEnd::Completed || !outcome.geometry) {
        return Fail(kExitUsage, "cannot scan " + parsed->volume + ": " + outcome.reason);
    }
    return RecoverJobs(*parsed, *outcome.geometry, JobsFor(parsed->positions, collected.files),
                       !outcome.losses.empty());
}

}  // namespace verandol::cli
