// One copy of a device into an image file, as the command line and the
// window run it: the source opened read-only, the image and its map checked
// to lie off the source, a map already there gone on with, and the map
// saved every few seconds and at the end.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "disk/volume_file.h"
#include "imaging/device_copy.h"
#include "ntfs/outcome.h"
#include "reading/rescue_map.h"

namespace verandol {

struct ImageJobPaths {
    std::string source;
    std::string image;
    std::string map;  // empty: the image's path and ".map"
};

struct ImageJobEnd {
    CopyEnd end = CopyEnd::Done;
    std::string failure;               // writing the image or the map failed
    std::vector<UnreadRange> unread;   // what the map does not mark finished
};

class ImageJob {
public:
    // Refused with the reason: an image or map on the source, a source
    // that cannot be opened, a map that cannot be read or is of a larger
    // device, an image that cannot be written.
    static Outcome<std::unique_ptr<ImageJob>> Open(ImageJobPaths paths, std::string command_line, int retries);

    // `stop` is asked between reads; `after_read` is called after each.
    ImageJobEnd Run(const std::function<bool()>& stop, const std::function<void(const ImageJob&)>& after_read);

    const RescueMap& Map() const { return map_; }
    const DeviceCopy& Copy() const { return *copy_; }
    const ImageJobPaths& Paths() const { return paths_; }

private:
    ImageJob() = default;
    std::string Save();

    ImageJobPaths paths_;
    std::string command_line_;
    std::string start_time_;
    std::unique_ptr<VolumeFile> source_;
    std::unique_ptr<ImageFile> image_;
    RescueMap map_;
    std::unique_ptr<DeviceCopy> copy_;
};

}  // namespace verandol
