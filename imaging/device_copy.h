// Copies a failing device into an image file, good areas first.
//
// Every pass over a dying disk may be its last, so the copy reads what
// reads easily before it spends any time on what does not:
//   1. large reads over the untried areas, skipping ahead past a failing
//      read (the skip doubles while reads go on failing, as they do under a
//      dying head, and halves again after good reads); then the skipped
//      areas, without skipping;
//   2. the edges of each failed area, sector by sector from both ends,
//      up to the first sector that fails at each;
//   3. the rest of the failed areas, sector by sector;
//   4. the bad sectors again, as many passes as the retries allow.
// The map holds where each area stands, so a copy stopped at any point and
// started again with its map reads only what is still to read.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "imaging/image_file.h"
#include "ntfs/byte_source.h"
#include "reading/rescue_map.h"

namespace verandol {

struct CopyOptions {
    std::int64_t sector = 512;            // the unit a device fails in
    std::int64_t large_read = 1 << 20;    // the reads of the first phase
    std::int64_t first_skip = 64 * 1024;  // how far the first failing read skips
    std::int64_t largest_skip = 0;        // 0: a hundredth of the device, at least first_skip
    int retries = 0;                      // passes over the bad sectors after the rest
};

enum class CopyEnd { Done, Stopped, WriteFailed };

class DeviceCopy {
public:
    // `map` is resized to the device; it must not be of a larger device.
    DeviceCopy(ByteSource& source, ImageFile& image, RescueMap& map, CopyOptions options);

    // Runs what is still to run. `stop` is asked between reads; `after_read`
    // is called after each read (the map then says what it gave).
    CopyEnd Run(const std::function<bool()>& stop, const std::function<void()>& after_read);
    // Why writing the image failed, once Run returned WriteFailed.
    const std::string& Error() const { return error_; }
    // When a read last delivered bytes; the start of the run before any did.
    std::chrono::steady_clock::time_point LastGoodRead() const { return last_good_; }
    // Bytes read from the device in this run.
    std::int64_t BytesRead() const { return bytes_read_; }

private:
    enum class Step { Read, Failed, Stop };
    // Reads [position, position + length) into the image; marks what read
    // finished and what did not `failed_status`.
    Step ReadArea(std::int64_t position, std::int64_t length, AreaStatus failed_status);
    // Reads the one sector at `position` (cut to `limit`); Read when it did.
    Step ReadSector(std::int64_t position, std::int64_t limit, AreaStatus failed_status);
    Step CopyPass(std::int64_t from, bool skipping);
    Step TrimPass();
    Step ScrapePass();
    Step RetryPass(int pass, std::int64_t from);
    bool Stopping();

    ByteSource& source_;
    ImageFile& image_;
    RescueMap& map_;
    CopyOptions options_;
    std::vector<std::uint8_t> buffer_;
    const std::function<bool()>* stop_ = nullptr;
    const std::function<void()>* after_read_ = nullptr;
    std::string error_;
    std::chrono::steady_clock::time_point last_good_ = std::chrono::steady_clock::now();
    std::int64_t bytes_read_ = 0;
};

}  // namespace verandol
