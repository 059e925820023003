#include "carve/formats/pdf.h"

#include <string_view>

namespace verandol {

namespace {

// How far past the last end found an incremental update is looked for.
constexpr std::int64_t kUpdateReach = 16 << 20;
// Bytes between "startxref" and "%%EOF": white space and an offset.
constexpr std::size_t kTailBytes = 48;
// White space a writer may leave between an end and the update after it.
constexpr std::size_t kUpdateGap = 512;

bool IsSpace(std::uint8_t c) { return c == ' ' || c == '\r' || c == '\n' || c == '\t' || c == '\f' || c == 0; }
bool IsDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }

// Reads digits at `at` of `b` into `value`; false when there are none or too many.
bool Number(ByteSpan b, std::size_t& at, std::int64_t& value) {
    const std::size_t from = at;
    value = 0;
    while (at < b.size() && IsDigit(b[at]) && at - from < 15) value = value * 10 + (b[at++] - '0');
    return at > from && (at == b.size() || !IsDigit(b[at]));
}

void SkipSpace(ByteSpan b, std::size_t& at) {
    while (at < b.size() && IsSpace(b[at])) ++at;
}

// True when a cross-reference section begins at `offset`.
bool XrefAt(CarveReader& in, std::int64_t offset) {
    if (in.Matches(offset, "xref")) return true;
    const ByteSpan b = in.Window(offset, 32);
    std::size_t at = 0;
    std::int64_t number = 0;
    if (!Number(b, at, number) || at >= b.size() || b[at] != ' ') return false;
    ++at;
    if (!Number(b, at, number)) return false;
    SkipSpace(b, at);
    return std::string_view(reinterpret_cast<const char*>(b.data()) + at, b.size() - at).starts_with("obj");
}

// The end of the file when "startxref" at `at` leads through an offset
// within [0, at) to a cross-reference section and is followed by "%%EOF".
std::optional<std::int64_t> ReachableEnd(CarveReader& in, std::int64_t at) {
    const ByteSpan b = in.Window(at + 9, kTailBytes);
    std::size_t i = 0;
    SkipSpace(b, i);
    std::int64_t offset = 0;
    if (!Number(b, i, offset) || offset >= at) return std::nullopt;
    SkipSpace(b, i);
    const std::string_view rest(reinterpret_cast<const char*>(b.data()) + i, b.size() - i);
    if (!rest.starts_with("%%EOF")) return std::nullopt;
    i += 5;
    // The end-of-line after the marker belongs to the file.
    if (i < b.size() && b[i] == '\r') ++i;
    if (i < b.size() && b[i] == '\n') ++i;
    if (!XrefAt(in, offset)) return std::nullopt;
    return at + 9 + static_cast<std::int64_t>(i);
}

// True when the file goes on past an end at `at`: an incremental update,
// or the rest of a linearized file after its first page's trailer, begins
// right after the end with an object or a cross-reference section. Any
// other bytes there (free space, another file) end the file, and are not
// searched for a later end.
bool GoesOnAt(CarveReader& in, std::int64_t at) {
    const ByteSpan b = in.Window(at, kUpdateGap);
    std::size_t i = 0;
    SkipSpace(b, i);
    return i < b.size() && XrefAt(in, at + static_cast<std::int64_t>(i));
}

}  // namespace

bool PdfStarts(ByteSpan head) {
    return head.size() >= 8 && std::string_view(reinterpret_cast<const char*>(head.data()), 5) == "%PDF-" &&
           (head[5] == '1' || head[5] == '2') && head[6] == '.' && IsDigit(head[7]);
}

WalkResult WalkPdf(CarveReader& in) {
    if (!PdfStarts(in.Window(0, 8))) return std::nullopt;
    std::optional<std::int64_t> end;
    std::optional<std::int64_t> last_object;  // one past the last "endobj" met
    std::int64_t from = 8;
    while (true) {
        const std::int64_t reach = end ? *end + kUpdateReach : kUpdateReach;
        const auto next = in.Find(from, reach, "startxref");
        if (!next) break;
        if (const auto closed = ReachableEnd(in, *next)) {
            end = closed;
            if (!GoesOnAt(in, *end)) break;
        }
        from = *next + 9;
    }
    if (end) return WalkedFile{*end, CarveCheck::Complete, {}};
    for (std::int64_t at = 8; const auto object = in.Find(at, kUpdateReach, "endobj");) {
        last_object = *object + 6;
        at = *last_object;
    }
    if (!last_object) return std::nullopt;
    return WalkedFile{*last_object, CarveCheck::Incomplete, {}};
}

}  // namespace verandol
