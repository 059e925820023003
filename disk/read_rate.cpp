#include "disk/read_rate.h"

#include <algorithm>
#include <vector>

#include "disk/open_volume.h"
#include "disk/volume_address.h"

namespace verandol {

namespace {

constexpr std::int64_t kPiece = 1 << 20;

}  // namespace

std::int64_t MeasureReadRate(const std::string& address, std::chrono::milliseconds budget,
                             std::int64_t max_bytes) {
    const VolumeAddress parsed = ParseVolumeAddress(address);
    std::shared_ptr<ByteSource> source;
    if (parsed.partition == 0 && parsed.offset < 0) {
        Outcome<OpenedDisk> disk = OpenDisk(address);
        if (!disk) return 0;
        source = disk->bytes;
    } else {
        Outcome<OpenedVolume> volume = OpenVolume(address);
        if (!volume) return 0;
        source = std::move(volume->source);
    }
    const std::int64_t size = source->Size();
    if (size <= 0) return 0;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min(kPiece, size)));
    std::int64_t position = size / 2 / kPiece * kPiece;
    if (position + static_cast<std::int64_t>(buffer.size()) > size) position = 0;
    const auto start = std::chrono::steady_clock::now();
    std::int64_t done = 0;
    auto elapsed = std::chrono::steady_clock::duration::zero();
    while (done < max_bytes && elapsed < budget) {
        if (position + static_cast<std::int64_t>(buffer.size()) > size) position = 0;
        const std::size_t got = source->ReadAt(position, MutableByteSpan(buffer.data(), buffer.size()));
        if (got == 0) break;
        done += static_cast<std::int64_t>(got);
        position += static_cast<std::int64_t>(got);
        elapsed = std::chrono::steady_clock::now() - start;
    }
    const double seconds = std::chrono::duration<double>(elapsed).count();
    if (done == 0 || seconds <= 0) return 0;
    return static_cast<std::int64_t>(static_cast<double>(done) / seconds);
}

}  // namespace verandol
