#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/usage.h"
#include "text/display_settings.h"

int main(int argc, char** argv) {
    using namespace verandol::cli;
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::fputs(UsageText(), stdout);
            return kExitDone;
        }
    }
    if (args.empty()) return Fail(kExitUsage, "missing command (try verandol-cli --help)");

    // The date columns read as they do in the window for the same user.
    std::setlocale(LC_TIME, "");
    verandol::SetCurrentDisplaySettings(verandol::SettingsFromPosixLocale());

    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (args[0] == "scan") return ScanCommand(rest);
    if (args[0] == "recover") return RecoverCommand(rest);
    if (args[0] == "volumes") return VolumesCommand(rest);
    if (args[0] == "search") return SearchCommand(rest);
    return Fail(kExitUsage, "unknown command " + args[0] + " (try verandol-cli --help)");
}
