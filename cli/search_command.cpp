#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/interrupt.h"
#include "cli/progress_line.h"
#include "cli/text_escape.h"
#include "disk/open_volume.h"
#include "rescue/volume_search.h"
#include "scan/read_losses.h"

namespace verandol::cli {

namespace {

class SearchLine final : public SearchProgress {
public:
    explicit SearchLine(const std::atomic<bool>& interrupted) : interrupted_(interrupted) {}
    void Advance(std::int64_t bytes_done, std::int64_t bytes_total) override {
        line_.Update(bytes_done >> 20, bytes_total >> 20, "MiB");
    }
    bool StopRequested() override { return interrupted_.load(); }
    void Clear() { line_.Clear(); }

private:
    const std::atomic<bool>& interrupted_;
    ProgressLine line_{"Searching"};
};

}  // namespace

int SearchCommand(const std::vector<std::string>& args) {
    for (const std::string& arg : args)
        if (arg.size() > 1 && arg[0] == '-') return Fail(kExitUsage, "search: unknown option " + arg);
    if (args.empty()) return Fail(kExitUsage, "search: missing DEVICE");

    const std::atomic<bool>& interrupted = CatchInterrupt();
    bool all_found = true;
    bool unreadable = false;
    for (const std::string& path : args) {
        Outcome<OpenedDisk> disk = OpenDisk(path);
        if (!disk) {
            all_found = false;
            Fail(kExitUsage, "search: " + disk.reason());
            continue;
        }
        SearchLine progress(interrupted);
        const Outcome<std::vector<FoundVolume>> found = SearchVolumes(*disk->bytes, progress);
        progress.Clear();
        if (const ReadLosses losses{"search", disk->bytes->UnreadSoFar(), {}, {}}; !losses.Empty()) {
            std::fprintf(stderr, "verandol-cli: note: %s\n", ReadLossNote(losses).c_str());
            unreadable = true;
        }
        const auto print = [&] {
            for (const FoundVolume& volume : found ? *found : std::vector<FoundVolume>{}) {
                const std::string line = TsvLine({FoundVolumeAddress(path, volume.offset), std::to_string(volume.size),
                                                  volume.label, volume.serial, volume.how}) + '\n';
                std::fwrite(line.data(), 1, line.size(), stdout);
            }
        };
        if (interrupted.load()) {
            // What was found before the stop is real: it is listed all the same.
            print();
            std::fflush(stdout);
            return Fail(kExitInterrupted, "interrupted");
        }
        if (!found || found->empty()) {
            all_found = false;
            std::fflush(stdout);
            Fail(kExitUsage, "search: no NTFS volume found on " + path + (found ? "" : ": " + found.reason()));
            continue;
        }
        print();
    }
    if (std::fflush(stdout) != 0) return Fail(kExitUsage, "cannot write the listing");
    if (!all_found) return kExitUsage;
    return unreadable ? kExitUnreadable : kExitDone;
}

}  // namespace verandol::cli
