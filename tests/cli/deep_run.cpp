#include "tests/cli/deep_run.h"

namespace verandol::cli_test {

DeepRun ScanAndRecoverDeep(const std::string& image) {
    DeepRun run;
    const CliRun scan = RunCli({"scan", "--deep", "--json", image});
    run.scan_status = scan.status;
    run.scan_err = scan.err;
    for (nlohmann::json& row : ParseJsonLines(scan.out).FileRows()) run.rows.emplace(row.at("position"), row);
    const CliRun recovered = RunCli({"recover", "--deep", image, run.out->path()});
    for (const std::string& line : SplitLines(recovered.out))
        if (!line.empty()) run.results[SplitTabs(line).at(1)] = SplitTabs(line);
    return run;
}

}  // namespace verandol::cli_test
