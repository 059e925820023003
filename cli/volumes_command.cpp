#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/text_escape.h"
#include "disk/open_volume.h"
#include "disk/volume_discovery.h"
#include "rescue/backup_boot_volumes.h"

namespace verandol::cli {

namespace {

void PrintVolumes(const DiscoveryResult& found) {
    for (const DiscoveredDrive& volume : found.drives) {
        const std::string size = std::to_string(volume.size);
        const std::string line =
            (volume.unreadable ? TsvLine({volume.path, size, "", "", "unreadable"})
                               : TsvLine({volume.path, size, volume.label, volume.serial})) +
            '\n';
        std::fwrite(line.data(), 1, line.size(), stdout);
        if (!volume.warning.empty()) std::fprintf(stderr, "verandol-cli: warning: %s\n", volume.warning.c_str());
        if (volume.unreadable)
            std::fprintf(stderr,
                         "verandol-cli: %s may not be read by this user, so what it holds is not known; "
                         "\"verandol-cli volumes %s\" asks for access\n",
                         volume.path.c_str(), volume.path.c_str());
    }
}

}  // namespace

int VolumesCommand(const std::vector<std::string>& args) {
    for (const std::string& arg : args)
        if (arg.size() > 1 && arg[0] == '-') return Fail(kExitUsage, "volumes: unknown option " + arg);
    if (args.empty()) {
        PrintVolumes(WithBackupBootVolumes(DiscoverVolumes()));
        return std::fflush(stdout) == 0 ? kExitDone : Fail(kExitUsage, "cannot write the listing");
    }
    // Named paths are each reported, so a typo is not just an empty list.
    bool all_found = true;
    for (const std::string& path : args) {
        const DiscoveryResult found = WithBackupBootVolumes(DiscoverVolumesIn({path}));
        if (found.drives.empty()) {
            std::fflush(stdout);
            // A device that may not be read says so rather than "no volume"
            // (asking again reuses the first answer, never a second prompt).
            const Outcome<OpenedVolume> opened = OpenVolume(path);
            Fail(kExitUsage, opened ? "volumes: no NTFS volume found in " + path +
                                          " (verandol-cli search reads it whole for volumes no table names)"
                                    : "volumes: " + opened.reason());
            all_found = false;
        }
        PrintVolumes(found);
    }
    if (std::fflush(stdout) != 0) return Fail(kExitUsage, "cannot write the listing");
    return all_found ? kExitDone : kExitUsage;
}

}  // namespace verandol::cli
