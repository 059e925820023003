#include "carve/carve_pass.h"

#include <algorithm>
#include <vector>

#include "carve/carve_formats.h"
#include "carve/carve_reader.h"
#include "ntfs/checked_math.h"

namespace verandol {

namespace {

bool Overlaps(const std::vector<UnreadRange>& stretches, std::int64_t position, std::int64_t length) {
    return std::any_of(stretches.begin(), stretches.end(), [&](const UnreadRange& r) {
        return r.position < position + length && position < r.End();
    });
}

bool Claimed(const StretchSet* claimed, std::int64_t position) {
    if (!claimed) return false;
    const auto next = claimed->NextFrom(position);
    return next && next->position <= position;
}

// Walks the format at `position`; the file, or nullopt when nothing there is one.
std::optional<CarvedFile> CarveAt(ByteSource& volume, std::int64_t position, std::int64_t unit,
                                  const CarveFormat& format, CarveEvents& events) {
    CarveReader reader(volume, position, format.max_bytes);
    reader.StopWhen([&] { return events.StopRequested(); });
    const WalkResult walked = format.walk(reader);
    // A walk the stop cut short says nothing of the file.
    if (reader.Stopped() || !walked || walked->length <= 0 || walked->length > reader.Size()) return std::nullopt;
    CarvedFile file;
    file.extent = {position, walked->length, walked->check};
    // Bytes the device could not deliver are zeros: nothing vouches for them.
    if (Overlaps(reader.Unread(), position, walked->length)) file.extent.check = CarveCheck::Incomplete;
    file.format = format.name;
    file.extension = walked->extension.empty() ? format.extension : walked->extension;
    file.first_unit = position / unit;
    file.unit_count = (position % unit + walked->length + unit - 1) / unit;
    return file;
}

}  // namespace

CarveEnd CarvePass(ByteSource& volume, const CarveSetup& setup, CarveEvents& events) {
    const std::int64_t unit = std::max<std::int64_t>(setup.unit, 512);
    const std::int64_t total = volume.Size();
    const std::size_t read_bytes =
        static_cast<std::size_t>(std::max<std::int64_t>(static_cast<std::int64_t>(setup.read_bytes) / unit, 1) * unit);
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::int64_t>(read_bytes, total)));
    std::vector<UnreadRange> unread;
    volume.ExpectSequentialReads();
    std::int64_t next = 0;
    while (next < total) {
        if (events.StopRequested()) return CarveEnd::Stopped;
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(buffer.size(), total - next));
        unread.clear();
        const auto got = static_cast<std::int64_t>(volume.ReadAround(next, MutableByteSpan(buffer.data(), want), unread));
        if (got <= 0) break;
        std::int64_t resume = next + got;
        for (std::int64_t off = 0; off < got; off += unit) {
            const std::int64_t position = next + off;
            if (setup.bitmap && setup.bitmap->IsSet(position / unit).value_or(false)) continue;
            if (Claimed(setup.claimed, position)) continue;
            const ByteSpan head(buffer.data() + off,
                                static_cast<std::size_t>(std::min<std::int64_t>(got - off, kCarveHeadBytes)));
            if (Overlaps(unread, position, static_cast<std::int64_t>(head.size()))) continue;
            const CarveFormat* format = FormatStartingAt(head);
            if (!format) {
                events.Unmatched(position, ByteSpan(buffer.data() + off, static_cast<std::size_t>(got - off)));
                continue;
            }
            std::optional<CarvedFile> file = CarveAt(volume, position, unit, *format, events);
            if (!file) {
                if (events.StopRequested()) return CarveEnd::Stopped;
                continue;
            }
            const CarvedExtent extent = file->extent;
            events.Found(std::move(*file));
            if (extent.check == CarveCheck::Incomplete) continue;
            // A file that closed is not searched again: on after its last unit.
            const std::int64_t after = (extent.position + extent.length + unit - 1) / unit * unit;
            if (after - next < got) {
                off = after - next - unit;
                continue;
            }
            resume = after;
            break;
        }
        volume.DoneWith(next, got);
        next = resume;
        events.Progress(std::min(next, total), total);
    }
    return CarveEnd::Completed;
}

}  // namespace verandol
