// Runs the engine's scan for a command and keeps what it reported.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "scan/scan_volume.h"

namespace verandol::cli {

struct ScanOutcome {
    std::vector<std::string> figures;  // "Disk Name: ..." and the rest, in the window's order
    std::optional<PublishedGeometry> geometry;
    long long rows = 0;
    long long recoverable_rows = 0;  // rows whose data is 100% unclaimed
    long long unchecked_rows = 0;    // deleted rows whose clusters no bitmap could judge
    long long in_use_rows = 0;       // files still in use, listed when asked for
    long long carved_rows = 0;       // files found by their content (--carve)
    // What the device could not deliver to the pass; told on stderr as it comes.
    std::vector<ReadLosses> losses;
    ScanEnd end = ScanEnd::Failed;
    std::string reason;
};

struct ScanHooks {
    // Called once the volume is known to be NTFS and the walk begins, with
    // every figure but the deleted-file count.
    std::function<void(const std::vector<std::string>& figures)> walk_starting;
    // Every row, in record order, as the walk finds it: its folder is not known yet.
    std::function<void(DeletedFileRow row)> row;
    // A row given earlier (its place among the rows) is not to be listed:
    // a deep scan met a newer copy of its record. It still gets a folder.
    std::function<void(std::size_t row)> withdrawn;
    // After the walk, one folder per row, in the order of the rows.
    std::function<void(std::vector<std::string> folders)> folders;
};

// Scans `volume_path`, showing progress on a terminal. The command line
// offers no way to stop a scan: Ctrl+C simply ends the process, which has
// written nothing yet.
// Notes on how the volume was read go to stderr. With `deep`, every sector of
// the volume is read for the records on it (the deep scan), and progress
// counts MiB with the time left. With `carve`, the volume's free clusters are
// then carved (every sector of a volume that is not NTFS) and the carved
// files come as rows after the scan's own, before the folders, each with an
// empty folder.
ScanOutcome RunScan(const std::string& volume_path, const ScanHooks& hooks, const ScanOptions& options = {},
                    bool deep = false, bool carve = false);

}  // namespace verandol::cli
