#include <algorithm>
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/map_option.h"
#include "cli/read_losses_text.h"
#include "cli/usage.h"
#include "disk/privileged_open.h"
#include "text/display_settings.h"
#include "udisks/udisks_access.h"

int main(int argc, char** argv) {
    using namespace verandol::cli;
    std::vector<std::string> args(argv + 1, argv + argc);
    // Taken wherever it stands, before or after the command.
    const bool no_udisks = std::erase(args, std::string("--no-udisks")) > 0;
    if (const std::string error = TakeRetriesOption(args); !error.empty()) return Fail(kExitUsage, error);
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
    if (no_udisks) {
        verandol::SetPrivilegedOpener([](const std::string& path) -> verandol::Outcome<int> {
            return verandol::Refusal(verandol::NoAccessText(
                path, "this user has no read permission on it, and --no-udisks keeps UDisks2 from being asked", false));
        });
    } else {
        verandol::ReadDevicesThroughUdisks();
    }

    std::vector<std::string> rest(args.begin() + 1, args.end());
    // The image command writes a map of its own; the others read with one.
    if (args[0] != "image")
        if (const std::string error = TakeMapOption(rest); !error.empty()) return Fail(kExitUsage, error);
    if (args[0] == "scan") return ScanCommand(rest);
    if (args[0] == "recover") return RecoverCommand(rest);
    if (args[0] == "volumes") return VolumesCommand(rest);
    if (args[0] == "search") return SearchCommand(rest);
    if (args[0] == "image") return ImageCommand(rest);
    return Fail(kExitUsage, "unknown command " + args[0] + " (try verandol-cli --help)");
}
