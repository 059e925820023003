// verandol-cli image SOURCE IMAGE [--map MAPFILE]: copies a failing device
// into an image file, good areas first, keeping a map of what was read.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "imaging/copy_progress_text.h"
#include "cli/exit_status.h"
#include "cli/interrupt.h"
#include "cli/option_values.h"
#include "cli/progress_line.h"
#include "imaging/image_job.h"
#include "reading/careful_source.h"

namespace verandol::cli {

namespace {

std::string ParseImageArgs(std::vector<std::string> args, ImageJobPaths& parsed) {
    const TakenOption map = TakeOption(args, "--map");
    if (!map.error.empty() || (map.values.size() == 1 && map.values[0].empty())) return "image: --map needs a file";
    if (map.values.size() > 1) return "image: --map is given twice";
    if (!map.values.empty()) parsed.map = map.values[0];
    std::vector<std::string> paths;
    for (const std::string& arg : args) {
        if (arg.starts_with("-") && arg != "-") return "image: unknown option " + arg;
        paths.push_back(arg);
    }
    if (paths.size() != 2) return "image: needs SOURCE and IMAGE (verandol-cli image SOURCE IMAGE [--map MAPFILE])";
    parsed.source = paths[0];
    parsed.image = paths[1];
    return {};
}

}  // namespace

int ImageCommand(const std::vector<std::string>& args) {
    ImageJobPaths paths;
    if (const std::string error = ParseImageArgs(args, paths); !error.empty()) return Fail(kExitUsage, error);
    std::string command_line = "verandol-cli image";
    for (const std::string& arg : args) command_line += " " + arg;
    auto job = ImageJob::Open(paths, command_line, RunReadPolicy().retries);
    if (!job) return Fail(kExitUsage, job.reason());

    const std::atomic<bool>& interrupted = CatchInterrupt();
    ProgressLine progress("Imaging");
    CopyPace pace;
    const ImageJobEnd end = (*job)->Run([&] { return interrupted.load(); }, [&](const ImageJob& running) {
        const auto now = std::chrono::steady_clock::now();
        pace.Sample(running.Copy().BytesRead(), now);
        const auto since_good = std::chrono::duration_cast<std::chrono::seconds>(now - running.Copy().LastGoodRead());
        progress.Update(running.Map().BytesWith(AreaStatus::Finished) >> 20, running.Map().Size() >> 20, "MiB",
                        CopyProgressText(running.Map(), pace, since_good));
    });
    progress.Clear();
    if (end.end == CopyEnd::WriteFailed) return Fail(kExitUsage, end.failure);
    if (end.end == CopyEnd::Stopped)
        return Fail(kExitInterrupted, "interrupted; run the same command again to go on where the copy stopped");
    if (end.unread.empty()) return kExitDone;
    std::int64_t bytes = 0;
    for (const UnreadRange& stretch : end.unread) bytes += stretch.length;
    std::fprintf(stderr, "verandol-cli: note: %lld bytes of %s in %zu areas could not be read; the map %s names them\n",
                 static_cast<long long>(bytes), paths.source.c_str(), end.unread.size(),
                 (*job)->Paths().map.c_str());
    return kExitUnreadable;
}

}  // namespace verandol::cli
