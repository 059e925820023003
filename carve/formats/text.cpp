#include "carve/formats/text.h"

#include <algorithm>

#include "carve/formats/sector_tail.h"

namespace verandol {

namespace {

constexpr std::int64_t kMinText = 1 << 10;
constexpr std::int64_t kSample = 4 << 10;
// Of the first 4 KiB, at least this many in a hundred are letters, digits or white space.
constexpr std::int64_t kWordyPercent = 75;

enum class Encoding { Utf8, Utf16 };

bool IsUtf8Bom(ByteSpan b) { return b.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF; }
bool IsUtf16Bom(ByteSpan b) { return b.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE; }

bool IsTextControl(std::uint32_t c) { return c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

bool IsWordy(std::uint32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' || c == '\t' ||
           c == '\n' || c == '\r' || c >= 0xA0;
}

// Decodes one character at `at`: its code point and byte length, or nullopt
// where the bytes are no text (a NUL, a control, a broken sequence).
struct Character {
    std::uint32_t code = 0;
    int length = 0;
};
std::optional<Character> Decode(ByteSpan b, std::size_t at, Encoding encoding) {
    const std::size_t left = b.size() - at;
    Character c;
    if (encoding == Encoding::Utf16) {
        if (left < 2) return std::nullopt;
        c.code = std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8;
        c.length = 2;
        if (c.code >= 0xD800 && c.code < 0xDC00) {
            if (left < 4) return std::nullopt;
            const std::uint32_t low = std::uint32_t{b[at + 2]} | std::uint32_t{b[at + 3]} << 8;
            if (low < 0xDC00 || low >= 0xE000) return std::nullopt;
            c.code = 0x10000 + ((c.code - 0xD800) << 10) + (low - 0xDC00);
            c.length = 4;
        } else if (c.code >= 0xDC00 && c.code < 0xE000) {
            return std::nullopt;
        }
    } else {
        const std::uint8_t lead = b[at];
        int more;
        if (lead < 0x80) more = 0, c.code = lead;
        else if (lead >= 0xC2 && lead < 0xE0) more = 1, c.code = lead & 0x1Fu;
        else if (lead >= 0xE0 && lead < 0xF0) more = 2, c.code = lead & 0x0Fu;
        else if (lead >= 0xF0 && lead < 0xF5) more = 3, c.code = lead & 0x07u;
        else return std::nullopt;
        if (left < static_cast<std::size_t>(more) + 1) return std::nullopt;
        for (int i = 1; i <= more; ++i) {
            const std::uint8_t next = b[at + static_cast<std::size_t>(i)];
            if ((next & 0xC0) != 0x80) return std::nullopt;
            c.code = c.code << 6 | (next & 0x3Fu);
        }
        // Overlong forms, surrogates and code points past Unicode's are no UTF-8.
        static constexpr std::uint32_t kLeast[4] = {0, 0x80, 0x800, 0x10000};
        if (c.code < kLeast[more] || (c.code >= 0xD800 && c.code < 0xE000) || c.code > 0x10FFFF) return std::nullopt;
        c.length = more + 1;
    }
    if ((c.code < 0x20 && !IsTextControl(c.code)) || c.code == 0x7F || (c.code >= 0x80 && c.code < 0xA0))
        return std::nullopt;
    return c;
}

// How far valid text runs in `b` from `at`, counting its wordy characters
// among the first `sample` of all: where it broke, or where it ran out
// (a character the span's end cuts is left to the next span).
struct Run {
    std::size_t end = 0;
    bool broke = false;
};
Run TextRun(ByteSpan b, std::size_t at, Encoding encoding, std::int64_t& wordy, std::int64_t& counted,
            std::int64_t sample) {
    while (at < b.size()) {
        const auto c = Decode(b, at, encoding);
        if (!c) return {at, b.size() - at >= 4};
        if (counted < sample) {
            ++counted;
            if (IsWordy(c->code)) ++wordy;
        }
        at += static_cast<std::size_t>(c->length);
    }
    return {at, false};
}

}  // namespace

bool TextStarts(ByteSpan head) {
    // Only the first 32 bytes are judged, however many are given.
    if (head.size() < 32) return false;
    head = head.first(32);
    Encoding encoding = Encoding::Utf8;
    std::size_t at = 0;
    if (IsUtf8Bom(head)) at = 3;
    else if (IsUtf16Bom(head)) at = 2, encoding = Encoding::Utf16;
    // The first bytes whole characters of text, mostly wordy ones.
    std::int64_t wordy = 0, counted = 0;
    const Run run = TextRun(head, at, encoding, wordy, counted, 32);
    return !run.broke && counted > 0 && wordy * 100 >= counted * kWordyPercent;
}

WalkResult WalkText(CarveReader& in) {
    // The pass asks at every cluster start of a long text; where an earlier
    // start's text ran on past this one with no clear end, so does this
    // one's: without the memory a text of n clusters costs n walks over it.
    // It is asked before anything is read: even the first read of a walk
    // fetches a large block.
    struct Unended {
        std::uint64_t pass = 0;
        std::int64_t from = 0, to = 0;  // on the volume
    };
    thread_local Unended unended;
    if (in.Pass() != 0 && unended.pass == in.Pass() && in.Start() > unended.from && in.Start() < unended.to)
        return std::nullopt;
    const auto remember = [&](std::int64_t at) {
        if (in.Pass() != 0) unended = {in.Pass(), in.Start(), in.Start() + at};
    };
    const auto refused = [&](std::int64_t at) -> WalkResult {
        remember(at);
        return std::nullopt;
    };
    const ByteSpan head = in.Window(0, 32);
    if (!TextStarts(head)) return std::nullopt;
    Encoding encoding = Encoding::Utf8;
    std::int64_t at = 0;
    if (IsUtf8Bom(head)) at = 3;
    else if (IsUtf16Bom(head)) at = 2, encoding = Encoding::Utf16;
    std::int64_t wordy = 0, counted = 0;
    while (true) {
        // Text that reaches the bound or the volume's end has no clear end.
        const ByteSpan window = in.Window(at, CarveReader::kWindowBytes);
        const Run run = TextRun(window, 0, encoding, wordy, counted, kSample);
        if (!run.broke && run.end == 0) return refused(at);
        at += static_cast<std::int64_t>(run.end);
        if (!run.broke) continue;
        // A break in the text: its end, when a NUL begins the zeros left to the sector's end.
        const bool nul = window[run.end] == 0 && (encoding == Encoding::Utf8 || window[run.end + 1] == 0);
        if (!nul || !ZerosToSectorEnd(in, at) || at < kMinText || wordy * 100 < counted * kWordyPercent)
            return refused(at);
        // Nothing tells a text's first byte from one in its middle: a text
        // whose first clusters were written over reads as a whole one. So a
        // text is kept but never vouched for, and its later cluster starts,
        // which the pass still visits, are not taken again.
        remember(at);
        return WalkedFile{at, CarveCheck::Incomplete, {}};
    }
}

}  // namespace verandol
