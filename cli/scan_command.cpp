#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/filter_options.h"
#include "cli/row_format.h"
#include "cli/volume_scan.h"

namespace verandol::cli {

namespace {

struct PendingLine {
    std::size_t end;  // where its text ends in the shared buffer
    int recoverable;
    bool accepted;    // by the filters that need no folder
};

void PrintLine(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

}  // namespace

int ScanCommand(const std::vector<std::string>& all_args) {
    const FilterArgs filters = TakeFilterOptions(all_args);
    if (!filters.error.empty()) return Fail(kExitUsage, "scan: " + filters.error);
    const std::vector<std::string>& args = filters.rest;
    bool json = false;
    std::vector<std::string> operands;
    for (const std::string& arg : args) {
        if (arg == "--json") {
            json = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Fail(kExitUsage, "scan: unknown option " + arg);
        } else {
            operands.push_back(arg);
        }
    }
    if (operands.empty()) return Fail(kExitUsage, "scan: missing VOLUME");
    if (operands.size() > 1) return Fail(kExitUsage, "scan: unexpected argument " + operands[1]);

    // Nothing reaches stdout before the walk starts, so a volume that turns
    // out not to be NTFS leaves stdout empty rather than with half a report.
    ScanHooks hooks;
    hooks.walk_starting = [json](const std::vector<std::string>& figures) {
        for (const std::string& figure : figures) PrintLine("# " + figure);
        if (!json) PrintLine(TsvHeader());
    };
    // A row's folder is known only after the walk: each line waits as the
    // text before its folder, all in one buffer, so a million rows stay cheap.
    std::string before_folders;
    std::vector<PendingLine> pending;
    hooks.row = [&](DeletedFileRow row) {
        const bool accepted = filters.filter.AcceptsBeforeFolder(row);
        if (accepted) before_folders += json ? JsonRowBeforeFolder(row) : TsvRowBeforeFolder(row);
        pending.push_back({before_folders.size(), row.recoverable, accepted});
    };
    hooks.folders = [&](std::vector<std::string> folders) {
        std::size_t start = 0;
        for (std::size_t i = 0; i < pending.size(); ++i) {
            const PendingLine& line = pending[i];
            const std::string folder = i < folders.size() ? std::move(folders[i]) : std::string();
            if (line.accepted && filters.filter.AcceptsFolder(folder)) {
                std::fwrite(before_folders.data() + start, 1, line.end - start, stdout);
                PrintLine(json ? JsonRowFromFolder(folder, line.recoverable) : TsvRowFromFolder(folder, line.recoverable));
            }
            start = line.end;
        }
    };

    const ScanOutcome outcome = RunScan(operands[0], hooks);
    if (outcome.end != ScanEnd::Completed) {
        std::fflush(stdout);
        return Fail(kExitUsage, "cannot scan " + operands[0] + ": " + outcome.reason);
    }
    PrintLine("# Deleted Files: " + std::to_string(outcome.rows));
    PrintLine("# Recoverable Files: " + std::to_string(outcome.recoverable_rows));
    if (std::fflush(stdout) != 0) return Fail(kExitUsage, "cannot write the listing");
    return kExitDone;
}

}  // namespace verandol::cli
