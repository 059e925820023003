#include "carve/carve_pass.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <vector>

#include "carve/carve_formats.h"
#include "carve/carve_reader.h"
#include "carve/gap_carve.h"
#include "carve/read_ahead.h"
#include "carve/serialized_source.h"
#include "ntfs/checked_math.h"

namespace verandol {

namespace {

// Walks over two pieces may read one byte for each this many the pass
// reads, on top of a first allowance so a small volume's files are tried too.
constexpr std::int64_t kGapShare = 8;
constexpr std::int64_t kGapFirstBytes = 32 << 20;

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
// `read` holds the bytes from `position` on as far as the pass read them
// whole, `read_on` those it read ahead that directly follow them.
std::optional<CarvedFile> CarveAt(ByteSource& volume, std::uint64_t pass, std::int64_t position, std::int64_t unit,
                                  const CarveFormat& format, CarveEvents& events, GapBudget& budget, ByteSpan read,
                                  ByteSpan read_on) {
    const std::function<bool()> stop = [&] { return events.StopRequested(); };
    CarveReader reader(volume, position, format.max_bytes);
    reader.InPass(pass);
    reader.StopWhen(stop);
    reader.Preloaded(read, read_on);
    WalkResult walked = format.walk(reader);
    // A walk the stop cut short says nothing of the file.
    if (reader.Stopped() || !walked || walked->length <= 0 || walked->length > reader.Size()) return std::nullopt;
    CarvedFile file;
    file.extent = {position, walked->length, walked->check};
    // Bytes the device could not deliver are zeros: nothing vouches for them.
    if (Overlaps(reader.Unread(), position, walked->length)) {
        file.extent.check = CarveCheck::Incomplete;
    } else if (walked->check == CarveCheck::Incomplete) {
        // Broken where a piece may be missing: the rest may lie a few clusters on.
        if (const auto bridged = BridgeGap(volume, position, unit, format, *walked, budget, stop)) {
            walked = bridged->walked;
            file.extent = {position, walked->length, walked->check, bridged->gap_at, bridged->gap_bytes};
        }
    }
    file.format = format.name;
    file.extension = walked->extension.empty() ? format.extension : walked->extension;
    file.first_unit = position / unit;
    file.unit_count = (position % unit + walked->length + file.extent.gap_bytes + unit - 1) / unit;
    return file;
}

// The units the pass searches: free in the bitmap and claimed by no row.
class SearchedUnits {
public:
    SearchedUnits(const CarveSetup& setup, const StretchSet& taken, std::int64_t unit, std::int64_t total)
        : setup_(setup), taken_(taken), unit_(unit), total_(total) {}

    bool Searched(std::int64_t position) const {
        if (setup_.bitmap && setup_.bitmap->IsSet(position / unit_).value_or(false)) return false;
        return !Claimed(setup_.claimed, position) && !Claimed(&taken_, position);
    }

    // The first searched unit's position at or after `position`, or total.
    std::int64_t NextFrom(std::int64_t position) const {
        while (position < total_ && !Searched(position)) {
            std::int64_t skip_to = position + unit_;
            for (const StretchSet* set : {setup_.claimed, &taken_}) {
                const auto stretch = set ? set->NextFrom(position) : std::nullopt;
                if (stretch && stretch->position <= position)
                    skip_to = std::max(skip_to, (stretch->End() + unit_ - 1) / unit_ * unit_);
            }
            position = skip_to;
        }
        return std::min(position, total_);
    }

    // Where the searched stretch from `position` ends, looking no further than `limit`.
    std::int64_t StretchEnd(std::int64_t position, std::int64_t limit) const {
        limit = std::min(limit, total_);
        while (position < limit && Searched(position)) position += unit_;
        return std::min(position, limit);
    }

private:
    const CarveSetup& setup_;
    const StretchSet& taken_;
    std::int64_t unit_;
    std::int64_t total_;
};

}  // namespace

CarveEnd CarvePass(ByteSource& device, const CarveSetup& setup, CarveEvents& events) {
    // The walkers read on this thread while the next stretch is read on another.
    SerializedSource volume(device);
    static std::atomic<std::uint64_t> passes{0};
    const std::uint64_t pass = ++passes;
    const std::int64_t unit = std::max<std::int64_t>(setup.unit, 512);
    const std::int64_t total = volume.Size();
    const std::size_t read_bytes =
        static_cast<std::size_t>(std::max<std::int64_t>(static_cast<std::int64_t>(setup.read_bytes) / unit, 1) * unit);
    const auto stretch_bytes = static_cast<std::size_t>(std::min<std::int64_t>(read_bytes, total));
    ReadAhead reads(volume, stretch_bytes);
    // The second pieces of files found in two: passed over when the search reaches them.
    StretchSet taken;
    const SearchedUnits searched(setup, taken, unit, total);
    GapBudget budget{kGapFirstBytes};
    volume.ExpectSequentialReads();
    std::int64_t next = 0;
    while (next < total) {
        if (events.StopRequested()) return CarveEnd::Stopped;
        // Units in use or claimed are never read: only the stretches searched.
        const std::int64_t from = searched.NextFrom(next);
        if (from >= total) break;
        next = from;
        const std::int64_t end = searched.StretchEnd(next, next + static_cast<std::int64_t>(stretch_bytes));
        const auto got = static_cast<std::int64_t>(reads.Take(next, static_cast<std::size_t>(end - next)));
        if (got <= 0) break;
        const std::uint8_t* const buffer = reads.Bytes().data();
        const std::vector<UnreadRange>& unread = reads.Unread();
        // The stretch the pass reads next unless a file found here runs past
        // this one; not where the device failed, whose careful reads are slow
        // and would hold up a stop.
        if (const std::int64_t ahead = searched.NextFrom(next + got); ahead < total && unread.empty())
            reads.Ahead(ahead, static_cast<std::size_t>(
                                   searched.StretchEnd(ahead, ahead + static_cast<std::int64_t>(stretch_bytes)) - ahead));
        budget.bytes += got / kGapShare;
        std::int64_t resume = next + got;
        for (std::int64_t off = 0; off < got; off += unit) {
            const std::int64_t position = next + off;
            const ByteSpan head(buffer + off,
                                static_cast<std::size_t>(std::min<std::int64_t>(got - off, kCarveHeadBytes)));
            if (Overlaps(unread, position, static_cast<std::int64_t>(head.size()))) continue;
            const CarveFormat* format = FormatStartingAt(head);
            if (!format) {
                events.Unmatched(position, ByteSpan(buffer + off, static_cast<std::size_t>(got - off)));
                continue;
            }
            // What the pass read from here on, unless the device failed some of it.
            const ByteSpan read = unread.empty() ? ByteSpan(buffer + off, static_cast<std::size_t>(got - off))
                                                 : ByteSpan();
            const ByteSpan read_on = read.empty() ? ByteSpan() : reads.AheadFrom(next + got);
            std::optional<CarvedFile> file = CarveAt(volume, pass, position, unit, *format, events, budget, read, read_on);
            if (!file) {
                if (events.StopRequested()) return CarveEnd::Stopped;
                continue;
            }
            const CarvedExtent extent = file->extent;
            events.Found(std::move(*file));
            if (extent.check == CarveCheck::Incomplete) continue;
            // A file that closed is not searched again: on after its last
            // unit, or its first piece's, the second piece passed over later.
            const CarvedPieces pieces = PiecesOf(extent);
            if (pieces.second.length > 0) taken.Add({pieces.second.position, pieces.second.length});
            const std::int64_t after = (pieces.first.position + pieces.first.length + unit - 1) / unit * unit;
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
    events.Progress(total, total);
    return CarveEnd::Completed;
}

}  // namespace verandol
