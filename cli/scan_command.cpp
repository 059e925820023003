#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/read_losses_text.h"
#include "cli/filter_options.h"
#include "cli/row_format.h"
#include "cli/text_escape.h"
#include "cli/volume_scan.h"

namespace verandol::cli {

namespace {

struct PendingLine {
    std::uint32_t chunk, start, length;  // where its text lies in the buffers
    int recoverable;
    bool accepted;  // by the filters that need no folder
    bool deleted;
};

// Texts kept in 1 MiB pieces that never move once written, so a million
// rows are neither copied on growth nor held twice.
class TextChunks {
public:
    PendingLine Add(const std::string& text, int recoverable, bool deleted) {
        if (chunks_.empty() || chunks_.back().size() + text.size() > chunks_.back().capacity()) {
            chunks_.emplace_back();
            chunks_.back().reserve(std::max<std::size_t>(kChunkBytes, text.size()));
        }
        std::string& chunk = chunks_.back();
        const auto start = static_cast<std::uint32_t>(chunk.size());
        chunk += text;
        return {static_cast<std::uint32_t>(chunks_.size() - 1), start, static_cast<std::uint32_t>(text.size()),
                recoverable, true, deleted};
    }
    void Write(const PendingLine& line) const {
        std::fwrite(chunks_[line.chunk].data() + line.start, 1, line.length, stdout);
    }

private:
    static constexpr std::size_t kChunkBytes = 1 << 20;
    std::vector<std::string> chunks_;
};

void PrintLine(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

// The figures as the window shows them ("Drive Size: 8192 KB"), each a key
// and its text: {"volume":{"Disk Name":"...","Drive Size":"8192 KB",...}}.
std::string JsonFigures(const std::vector<std::string>& figures) {
    std::string json = "{\"volume\":{";
    for (std::size_t i = 0; i < figures.size(); ++i) {
        const std::size_t colon = figures[i].find(": ");
        const std::string key = figures[i].substr(0, colon);
        const std::string value = colon == std::string::npos ? std::string() : figures[i].substr(colon + 2);
        json.append(i ? "," : "").append(JsonString(key)).append(":").append(JsonString(value));
    }
    return json + "}}";
}

// The counts after the rows: "# Deleted Files: 3" in TSV, one object
// {"totals":{"Deleted Files":3,...}} in JSON.
void PrintTotals(const std::vector<std::pair<std::string, long long>>& totals, bool json) {
    if (!json) {
        for (const auto& [caption, count] : totals) PrintLine("# " + caption + ": " + std::to_string(count));
        return;
    }
    std::string line = "{\"totals\":{";
    for (std::size_t i = 0; i < totals.size(); ++i)
        line.append(i ? "," : "").append(JsonString(totals[i].first)).append(":").append(std::to_string(totals[i].second));
    PrintLine(line + "}}");
}

}  // namespace

int ScanCommand(const std::vector<std::string>& all_args) {
    const FilterArgs filters = TakeFilterOptions(all_args);
    if (!filters.error.empty()) return Fail(kExitUsage, "scan: " + filters.error);
    const std::vector<std::string>& args = filters.rest;
    bool json = false;
    bool deep = false;
    bool carve = false;
    ScanOptions options;
    std::vector<std::string> operands;
    for (const std::string& arg : args) {
        if (arg == "--json") {
            json = true;
        } else if (arg == "--deep") {
            deep = true;
        } else if (arg == "--all") {
            options.in_use_too = true;
        } else if (arg == "--carve") {
            carve = true;
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
    // A deep scan lists the files an earlier volume had in use as well.
    const bool all = options.in_use_too || deep;
    hooks.walk_starting = [json, all](const std::vector<std::string>& figures) {
        if (json) return PrintLine(JsonFigures(figures));
        for (const std::string& figure : figures) PrintLine("# " + figure);
        PrintLine(TsvHeader(all));
    };
    // A row's folder is known only after the walk: each line waits as the
    // text before its folder.
    TextChunks before_folders;
    std::vector<PendingLine> pending;
    hooks.row = [&](DeletedFileRow row) {
        if (!filters.filter.AcceptsBeforeFolder(row))
            return pending.push_back({0, 0, 0, row.recoverable, false, row.deleted});
        pending.push_back(before_folders.Add(json ? JsonRowBeforeFolder(row) : TsvRowBeforeFolder(row), row.recoverable,
                                             row.deleted));
    };
    hooks.withdrawn = [&](std::size_t row) {
        if (row < pending.size()) pending[row].accepted = false;
    };
    hooks.folders = [&](std::vector<std::string> folders) {
        for (std::size_t i = 0; i < pending.size(); ++i) {
            const PendingLine& line = pending[i];
            const std::string folder = i < folders.size() ? std::move(folders[i]) : std::string();
            if (line.accepted && filters.filter.AcceptsFolder(folder)) {
                before_folders.Write(line);
                const std::optional<bool> deleted = all ? std::optional<bool>(line.deleted) : std::nullopt;
                PrintLine(json ? JsonRowFromFolder(folder, line.recoverable, deleted)
                               : TsvRowFromFolder(folder, line.recoverable, deleted));
            }
        }
    };

    const ScanOutcome outcome = RunScan(operands[0], hooks, options, deep, carve);
    if (outcome.end != ScanEnd::Completed) {
        std::fflush(stdout);
        return Fail(kExitUsage, "cannot scan " + operands[0] + ": " + outcome.reason);
    }
    std::vector<std::pair<std::string, long long>> totals{{"Deleted Files", outcome.rows},
                                                          {"Recoverable Files", outcome.recoverable_rows}};
    if (outcome.unchecked_rows > 0) totals.emplace_back("Unchecked Files", outcome.unchecked_rows);
    if (all) totals.emplace_back("Files In Use", outcome.in_use_rows);
    if (carve) totals.emplace_back("Carved Files", outcome.carved_rows);
    PrintTotals(totals, json);
    for (const ReadLosses& losses : outcome.losses) {
        if (json) PrintLine(JsonReadLosses(losses));
        else
            for (const std::string& line : TsvReadLosses(losses)) PrintLine(line);
    }
    if (std::fflush(stdout) != 0) return Fail(kExitUsage, "cannot write the listing");
    return outcome.losses.empty() ? kExitDone : kExitUnreadable;
}

}  // namespace verandol::cli
