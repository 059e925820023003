#include "carve/formats/riff.h"

#include <cstring>

#include "ntfs/checked_math.h"

namespace verandol {

namespace {

bool IsChunkId(ByteSpan id) {
    if (id.size() < 4) return false;
    for (std::size_t i = 0; i < 4; ++i)
        if (id[i] < 0x20 || id[i] > 0x7E) return false;
    // Ids are letters, digits and trailing spaces: never a leading space.
    return id[0] != ' ';
}

// The extension of a form type, or null for forms not carved.
const char* FormExtension(ByteSpan form) {
    if (form.size() < 4) return nullptr;
    if (std::memcmp(form.data(), "WAVE", 4) == 0) return "wav";
    if (std::memcmp(form.data(), "AVI ", 4) == 0) return "avi";
    if (std::memcmp(form.data(), "WEBP", 4) == 0) return "webp";
    return nullptr;
}

enum class Tiling { None, Cut, Whole };

// Walks the chunks of the RIFF list at `at` (its "RIFF" header); `end` is
// set past it as far as the chunks could be followed.
Tiling WalkList(CarveReader& in, std::int64_t at, std::int64_t& end) {
    const auto size = in.Le32(at + 4);
    if (!size || *size < 4) return Tiling::None;
    const std::int64_t list_end = at + 8 + std::int64_t{*size};
    std::int64_t chunk = at + 12;
    bool any = false;
    while (chunk < list_end) {
        const ByteSpan id = in.Window(chunk, 4);
        const auto length = in.Le32(chunk + 4);
        if (!length || !IsChunkId(id)) {
            end = chunk;
            return any ? Tiling::Cut : Tiling::None;
        }
        const std::int64_t data_end = chunk + 8 + std::int64_t{*length};
        // A chunk of odd length is followed by a pad byte, unless the list ends there.
        const std::int64_t next = data_end + (*length & 1);
        if (data_end > list_end || data_end > in.Size()) {
            end = std::min(chunk, in.Size());
            return any ? Tiling::Cut : Tiling::None;
        }
        any = true;
        chunk = next;
    }
    end = list_end;
    return Tiling::Whole;
}

}  // namespace

bool RiffStarts(ByteSpan head) {
    return head.size() >= 20 && std::memcmp(head.data(), "RIFF", 4) == 0 && FormExtension(head.subspan(8, 4)) &&
           read_le32(head, 4).value_or(0) >= 12 && IsChunkId(head.subspan(12, 4));
}

WalkResult WalkRiff(CarveReader& in) {
    const ByteSpan head = in.Window(0, 20);
    if (!RiffStarts(head)) return std::nullopt;
    const char* extension = FormExtension(head.subspan(8, 4));
    std::int64_t end = 0;
    const Tiling first = WalkList(in, 0, end);
    if (first == Tiling::None) return std::nullopt;
    if (first == Tiling::Cut || end > in.Size()) return WalkedFile{std::min(end, in.Size()), CarveCheck::Incomplete, extension};
    // Extended AVI: further lists of the form "AVIX" follow at once.
    if (std::strcmp(extension, "avi") == 0) {
        while (in.Matches(end, "RIFF") && in.Matches(end + 8, "AVIX")) {
            std::int64_t next = 0;
            const Tiling more = WalkList(in, end, next);
            if (more != Tiling::Whole || next > in.Size())
                return WalkedFile{std::min(std::max(next, end), in.Size()), CarveCheck::Incomplete, extension};
            end = next;
        }
    }
    return WalkedFile{end, CarveCheck::Complete, extension};
}

}  // namespace verandol
