#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "cli_runner.h"

namespace verandol::cli_test {
namespace {

void ExpectRefused(const CliRun& run, const std::string& what) {
    EXPECT_EQ(run.status, 2) << what;
    EXPECT_EQ(run.out, "") << what;
    EXPECT_EQ(run.err.rfind("verandol-cli: ", 0), 0u) << what << ": " << run.err;
    EXPECT_EQ(SplitLines(run.err).size(), 1u) << what << ": " << run.err;
}

TEST(CliUsage, BadArgumentsExitTwoWithOneErrorLine) {
    const TempDir out;
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"scan"},
        {"scan", "a.img", "b.img"},
        {"scan", "--csv", "a.img"},
        {"recover"},
        {"recover", "a.img"},
        {"recover", "a.img", out.path(), "--all"},
        {"recover", "a.img", out.path() + "/not-there"},
    };
    for (const auto& args : cases) {
        std::string what;
        for (const auto& arg : args) what += arg + " ";
        ExpectRefused(RunCli(args), what);
    }
}

TEST(CliUsage, HelpDocumentsCommandsFormatsAndExitStatuses) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--help"}, {"-h"}, {"scan", "--help"}, {"recover", "x", "-h"}}) {
        const CliRun run = RunCli(args);
        EXPECT_EQ(run.status, 0) << args[0];
        EXPECT_EQ(run.err, "");
        for (const char* needle : {"scan VOLUME [--json] [--all]",
                                   "recover VOLUME OUTDIR [--name-by-index] [--all] [POSITION...]",
                                   "search DEVICE...", "@+N", "image SOURCE IMAGE [--map MAPFILE]",
                                   "Record Positon", "created_utc", "written", "incomplete", "failed",
                                   "Exit status", "130"}) {
            EXPECT_NE(run.out.find(needle), std::string::npos) << needle;
        }
    }
}

TEST(CliUsage, VolumeThatCannotBeScannedExitsTwo) {
    const TempDir dir;
    const std::string text_file = dir.path() + "/notes.txt";
    std::ofstream(text_file) << std::string(1 << 20, 'x');
    for (const std::string& volume : {text_file, dir.path() + "/absent.img"}) {
        ExpectRefused(RunCli({"scan", volume}), "scan " + volume);
        ExpectRefused(RunCli({"scan", volume, "--json"}), "scan --json " + volume);
        ExpectRefused(RunCli({"recover", volume, dir.path()}), "recover " + volume);
    }
}

}  // namespace
}  // namespace verandol::cli_test
