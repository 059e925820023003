#include "imaging/image_job.h"

#include <sys/stat.h>

#include <chrono>
#include <ctime>

#include "imaging/copy_target_check.h"
#include "reading/rescue_map_file.h"

namespace verandol {

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

}  // namespace

Outcome<std::unique_ptr<ImageJob>> ImageJob::Open(ImageJobPaths paths, std::string command_line, int retries) {
    if (paths.map.empty()) paths.map = paths.image + ".map";
    if (paths.map == paths.image) return Refusal("the map and the image must be two files");
    for (const std::string& target : {paths.image, paths.map})
        if (const std::string refusal = CopyTargetRefusal(paths.source, target); !refusal.empty())
            return Refusal(refusal);

    std::unique_ptr<ImageJob> job(new ImageJob);
    auto source = VolumeFile::TryOpen(paths.source);
    if (!source) return Refusal(source.reason());
    job->source_ = std::move(*source);
    const std::int64_t size = job->source_->Size();

    // A map already there is the copy to go on with.
    job->map_ = RescueMap(size);
    struct stat st {};
    if (::stat(paths.map.c_str(), &st) == 0) {
        Outcome<RescueMap> loaded = LoadRescueMap(paths.map);
        if (!loaded) return Refusal(loaded.reason());
        if (loaded->Size() > size) return Refusal("the map " + paths.map + " is of a device larger than " + paths.source);
        job->map_ = std::move(*loaded);
    }
    auto image = ImageFile::Open(paths.image, size);
    if (!image) return Refusal(image.reason());
    job->image_ = std::move(*image);

    CopyOptions options;
    options.retries = retries;
    job->copy_ = std::make_unique<DeviceCopy>(*job->source_, *job->image_, job->map_, options);
    job->paths_ = std::move(paths);
    job->command_line_ = std::move(command_line);
    job->start_time_ = LocalTimeText(std::time(nullptr));
    return job;
}

std::string ImageJob::Save() {
    // The bytes the map counts go to the disk before the map does.
    if (std::string error = image_->Flush(); !error.empty()) return error;
    std::vector<std::string> header{"Mapfile. Created by Verandol " VERANDOL_VERSION, "Command line: " + command_line_,
                                    "Start time:   " + start_time_,
                                    "Current time: " + LocalTimeText(std::time(nullptr))};
    if (map_.current.status == '+') header.emplace_back("Finished");
    return SaveRescueMap(paths_.map, FormatRescueMap(map_, header));
}

ImageJobEnd ImageJob::Run(const std::function<bool()>& stop, const std::function<void(const ImageJob&)>& after_read) {
    auto last_save = std::chrono::steady_clock::now();
    std::string save_error;
    const CopyEnd end = copy_->Run([&] { return !save_error.empty() || (stop && stop()); },
                                   [&] {
                                       if (after_read) after_read(*this);
                                       const auto now = std::chrono::steady_clock::now();
                                       if (now - last_save < kSaveEvery) return;
                                       save_error = Save();
                                       last_save = now;
                                   });
    ImageJobEnd ended{end, {}, map_.Unfinished()};
    const std::string final_save = Save();
    if (end == CopyEnd::WriteFailed) ended.failure = copy_->Error();
    else if (!save_error.empty()) ended.failure = save_error;
    else if (!final_save.empty()) ended.failure = final_save;
    if (!ended.failure.empty()) ended.end = CopyEnd::WriteFailed;
    return ended;
}

}  // namespace verandol
