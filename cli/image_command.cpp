// verandol-cli image SOURCE IMAGE [--map MAPFILE]: copies a failing device
// into an image file, good areas first, keeping a map of what was read.
#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/copy_progress_text.h"
#include "cli/exit_status.h"
#include "cli/interrupt.h"
#include "cli/option_values.h"
#include "cli/progress_line.h"
#include "disk/volume_file.h"
#include "imaging/copy_target_check.h"
#include "imaging/device_copy.h"
#include "reading/careful_source.h"
#include "reading/rescue_map_file.h"

namespace verandol::cli {

namespace {

// How often the map is saved while the copy runs: a copy cut off by a crash
// or a pulled cable loses at most this much of its work.
constexpr auto kSaveEvery = std::chrono::seconds(5);

std::string LocalTimeText(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

struct ImageArgs {
    std::string source;
    std::string image;
    std::string map;
};

std::string ParseImageArgs(std::vector<std::string> args, ImageArgs& parsed) {
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
    if (parsed.map.empty()) parsed.map = parsed.image + ".map";
    if (parsed.map.empty() || parsed.map == parsed.image) return "image: the map and the image must be two files";
    return {};
}

}  // namespace

int ImageCommand(const std::vector<std::string>& args) {
    ImageArgs paths;
    if (const std::string error = ParseImageArgs(args, paths); !error.empty()) return Fail(kExitUsage, error);
    for (const std::string& target : {paths.image, paths.map})
        if (const std::string refusal = CopyTargetRefusal(paths.source, target); !refusal.empty())
            return Fail(kExitUsage, refusal);

    auto source = VolumeFile::TryOpen(paths.source);
    if (!source) return Fail(kExitUsage, source.reason());
    const std::int64_t size = (*source)->Size();

    // A map already there is the copy to go on with.
    RescueMap map(size);
    struct stat st {};
    if (::stat(paths.map.c_str(), &st) == 0) {
        Outcome<RescueMap> loaded = LoadRescueMap(paths.map);
        if (!loaded) return Fail(kExitUsage, loaded.reason());
        if (loaded->Size() > size)
            return Fail(kExitUsage, "the map " + paths.map + " is of a device larger than " + paths.source);
        map = std::move(*loaded);
    }
    auto image = ImageFile::Open(paths.image, size);
    if (!image) return Fail(kExitUsage, image.reason());

    std::string command_line = "verandol-cli image";
    for (const std::string& arg : args) command_line += " " + arg;
    const std::string start_time = LocalTimeText(std::time(nullptr));
    const auto save = [&]() -> std::string {
        if (std::string error = (*image)->Flush(); !error.empty()) return error;
        std::vector<std::string> header{"Mapfile. Created by Verandol " VERANDOL_VERSION, "Command line: " + command_line,
                                        "Start time:   " + start_time,
                                        "Current time: " + LocalTimeText(std::time(nullptr))};
        if (map.current.status == '+') header.emplace_back("Finished");
        return SaveRescueMap(paths.map, FormatRescueMap(map, header));
    };

    CopyOptions options;
    options.retries = RunReadPolicy().retries;
    DeviceCopy copy(**source, **image, map, options);
    const std::atomic<bool>& interrupted = CatchInterrupt();
    ProgressLine progress("Imaging");
    CopyPace pace;
    auto last_save = std::chrono::steady_clock::now();
    std::string save_error;
    const auto after_read = [&] {
        const auto now = std::chrono::steady_clock::now();
        pace.Sample(copy.BytesRead(), now);
        progress.Update(map.BytesWith(AreaStatus::Finished) >> 20, size >> 20, "MiB",
                        CopyProgressText(map, pace,
                                         std::chrono::duration_cast<std::chrono::seconds>(now - copy.LastGoodRead())));
        if (now - last_save >= kSaveEvery) {
            save_error = save();
            last_save = now;
        }
    };
    const CopyEnd end = copy.Run([&] { return interrupted.load() || !save_error.empty(); }, after_read);
    progress.Clear();
    const std::string final_save = save();
    if (end == CopyEnd::WriteFailed) return Fail(kExitUsage, copy.Error());
    if (!save_error.empty() || !final_save.empty()) return Fail(kExitUsage, save_error.empty() ? final_save : save_error);
    if (end == CopyEnd::Stopped) return Fail(kExitInterrupted, "interrupted; run the same command again to go on where the copy stopped");

    const std::vector<UnreadRange> unread = map.Unfinished();
    if (unread.empty()) return kExitDone;
    std::int64_t bytes = 0;
    for (const UnreadRange& stretch : unread) bytes += stretch.length;
    std::fprintf(stderr, "verandol-cli: note: %lld bytes of %s in %zu areas could not be read; the map %s names them\n",
                 static_cast<long long>(bytes), paths.source.c_str(), unread.size(), paths.map.c_str());
    return kExitUnreadable;
}

}  // namespace verandol::cli
