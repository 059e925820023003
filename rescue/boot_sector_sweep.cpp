#include "rescue/boot_sector_sweep.h"

#include <algorithm>

#include "disk/aligned_buffer.h"

namespace verandol {

namespace {

// Boot sectors lie on 512-byte boundaries whatever the sector size; the
// chunk is a multiple of that, so no candidate straddles two reads.
constexpr std::size_t kStride = 512;
// Larger chunks measured slower from the page cache (the copy no longer
// stays in the processor's caches); smaller ones only add calls.
constexpr std::size_t kChunk = 4u << 20;
static_assert(kChunk % kStride == 0);

}  // namespace

Outcome<std::vector<BootSighting>> SweepBootSectors(ByteSource& source, SearchProgress& progress,
                                                    const std::function<bool(const BootSighting&)>& enough) {
    source.ExpectSequentialReads();
    const std::int64_t total = source.Size();
    // A small image is read in one go into a buffer of its own size: a
    // fixed 4 MiB would be mostly unused.
    const std::size_t chunk =
        static_cast<std::size_t>(std::clamp<std::int64_t>(total, 1, static_cast<std::int64_t>(kChunk)));
    const AlignedBuffer memory(chunk);
    if (!memory.Data()) return Refusal("no memory for the search's reads");
    const MutableByteSpan buffer(memory.Data(), chunk);
    std::vector<BootSighting> found;
    std::vector<UnreadRange> unread;
    for (std::int64_t done = 0; done < total;) {
        // A stopped pass keeps what it found: the volumes before the stop are real.
        if (progress.StopRequested()) return found;
        // Sectors that cannot be read come back as zeros, which no boot
        // sector check passes; a failing disk is exactly where volumes get
        // lost, so the pass goes on around them.
        unread.clear();
        const std::size_t got = source.ReadAround(done, buffer, unread);
        if (got == 0) break;
        const std::size_t passed = got;
        for (std::size_t at = 0; at + kStride <= got; at += kStride) {
            const ByteSpan sector(memory.Data() + at, kStride);
            if (!MayBeBootSector(sector)) continue;
            if (auto boot = CheckBootCandidate(sector)) {
                found.push_back({done + static_cast<std::int64_t>(at), *boot});
                if (enough && enough(found.back())) return found;
            }
        }
        source.DoneWith(done, static_cast<std::int64_t>(passed));
        done += static_cast<std::int64_t>(passed);
        progress.Advance(std::min(done, total), total);
    }
    return found;
}

}  // namespace verandol
