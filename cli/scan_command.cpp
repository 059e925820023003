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
    hooks.row = [json, &filters](DeletedFileRow row) {
        if (filters.filter.Accepts(row)) PrintLine(json ? JsonRow(row) : TsvRow(row));
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
