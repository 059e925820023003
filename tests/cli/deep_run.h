// A deep scan and a deep recovery of one image, as a script runs them.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/cli/cli_runner.h"

namespace verandol::cli_test {

// What `scan --deep --json` listed and `recover --deep` did with it, each
// by record position; the recovered files stay in `out` for hashing.
struct DeepRun {
    int scan_status = -1;
    std::string scan_err;
    std::map<std::string, nlohmann::json> rows;
    std::map<std::string, std::vector<std::string>> results;
    std::shared_ptr<TempDir> out = std::make_shared<TempDir>();
};

DeepRun ScanAndRecoverDeep(const std::string& image);

}  // namespace verandol::cli_test
