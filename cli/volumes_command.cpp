#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/text_escape.h"
#include "disk/volume_discovery.h"

namespace verandol::cli {

namespace {

void PrintVolumes(const DiscoveryResult& found) {
    for (const DiscoveredDrive& volume : found.drives) {
        const std::string line =
            TsvLine({volume.path, std::to_string(volume.size), volume.label, volume.serial}) + '\n';
        std::fwrite(line.data(), 1, line.size(), stdout);
        if (!volume.warning.empty()) std::fprintf(stderr, "verandol-cli: warning: %s\n", volume.warning.c_str());
    }
}

}  // namespace

int VolumesCommand(const std::vector<std::string>& args) {
    for (const std::string& arg : args)
        if (arg.size() > 1 && arg[0] == '-') return Fail(kExitUsage, "volumes: unknown option " + arg);
    if (args.empty()) {
        PrintVolumes(DiscoverVolumes());
        return std::fflush(stdout) == 0 ? kExitDone : Fail(kExitUsage, "cannot write the listing");
    }
    // Named paths are each reported, so a typo is not just an empty list.
    bool all_found = true;
    for (const std::string& path : args) {
        const DiscoveryResult found = DiscoverVolumesIn({path});
        if (found.drives.empty()) {
            std::fflush(stdout);
            Fail(kExitUsage, "volumes: no NTFS volume found in " + path +
                                 " (verandol-cli search reads it whole for volumes no table names)");
            all_found = false;
        }
        PrintVolumes(found);
    }
    if (std::fflush(stdout) != 0) return Fail(kExitUsage, "cannot write the listing");
    return all_found ? kExitDone : kExitUsage;
}

}  // namespace verandol::cli
