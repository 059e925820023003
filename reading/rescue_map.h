// The map of a device copy: which stretches of the device have been read,
// which failed and which are still to try, in the mapfile format that GNU
// ddrescue reads and writes, so either program can go on with a copy the
// other began and users' own tools can read the figures.
//
//   # comment lines
//   0x00120000     *               1        <- current position, status, pass
//   0x00000000  0x00120000  +               <- position, size, status
//   0x00120000  0x00000200  -
//
// Parsing and writing work on text; rescue_map_file.h reads and saves it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "ntfs/byte_source.h"
#include "ntfs/outcome.h"

namespace verandol {

// What is known of a stretch of the device.
enum class AreaStatus : char {
    NonTried = '?',    // not read yet
    NonTrimmed = '*',  // a large read failed here; its edges are still to read sector by sector
    NonScraped = '/',  // trimmed; the middle is still to read sector by sector
    Bad = '-',         // read sector by sector and failed
    Finished = '+',    // read
};

struct MapArea {
    std::int64_t position = 0;
    std::int64_t size = 0;
    AreaStatus status = AreaStatus::NonTried;
    std::int64_t End() const { return position + size; }
    bool operator==(const MapArea&) const = default;
};

// Where a copy was and what it was doing: one of "?*/-FG+" ('F' and 'G' are
// other programs' filling and generating modes, kept as read).
struct CopyPosition {
    std::int64_t position = 0;
    char status = '?';
    int pass = 1;
    bool operator==(const CopyPosition&) const = default;
};

// The status of every byte of [0, Size()): areas ascending, touching,
// neighbours of the same status merged. Bytes no line named are non-tried.
class RescueMap {
public:
    RescueMap() = default;
    explicit RescueMap(std::int64_t size);

    std::int64_t Size() const { return size_; }
    // Extends or cuts the map to `size` bytes; new bytes are non-tried.
    void Resize(std::int64_t size);
    void Set(std::int64_t position, std::int64_t length, AreaStatus status);
    std::vector<MapArea> Areas() const;
    // The first area of `status` that ends after `from`, cut to start no
    // earlier than `from`; size 0 when there is none.
    MapArea NextWith(AreaStatus status, std::int64_t from) const;
    // The status of the byte at `position` (non-tried outside the map).
    AreaStatus StatusAt(std::int64_t position) const;
    std::int64_t BytesWith(AreaStatus status) const;
    std::int64_t AreasWith(AreaStatus status) const;
    // Every stretch not finished, as the unread stretches of an image.
    std::vector<UnreadRange> Unfinished() const;

    CopyPosition current;

private:
    std::int64_t size_ = 0;
    // first byte -> (one past the last byte, status); covers [0, size_).
    struct Extent {
        std::int64_t end;
        AreaStatus status;
    };
    std::map<std::int64_t, Extent> areas_;
};

// Bounds on what a map may hold, so a hostile file cannot make us allocate
// without end.
inline constexpr std::size_t kMaxMapTextBytes = 512u * 1024 * 1024;
inline constexpr std::size_t kMaxMapAreas = 16u * 1024 * 1024;

// Reads a map's text. Refused with the line number and what is wrong: a
// number that is not one, negative or too large, areas that overlap or go
// backwards, an unknown status, stray text. Gaps between areas are
// non-tried.
Outcome<RescueMap> ParseRescueMap(std::string_view text);

// The map's text: `header` lines (each written after "# "), the current
// position line and one line per area, numbers in hexadecimal.
std::string FormatRescueMap(const RescueMap& map, const std::vector<std::string>& header = {});

}  // namespace verandol
