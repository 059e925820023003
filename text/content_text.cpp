#include "text/content_text.h"

#include <algorithm>
#include <cstdint>

namespace verandol {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// A control character no text holds; tab, line ends, form feed and escape
// (used by terminal logs) are text.
bool IsForeignControl(char32_t c) {
    if (c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == 0x1B) return false;
    return c < 0x20 || c == 0x7F;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// One code point decoded from `bytes` at `at`, which moves past it.
// nullopt for an invalid sequence; `cut` is set when it runs off the end.
std::optional<char32_t> NextUtf8(ByteSpan bytes, std::size_t& at, bool& cut) {
    const std::uint8_t lead = bytes[at];
    std::size_t length;
    char32_t c;
    if (lead < 0x80) {
        ++at;
        return lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, c = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, c = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, c = lead & 0x07u;
    } else {
        return std::nullopt;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const std::optional<std::uint8_t> next = read_le8(bytes, at + i);
        if (!next) {
            cut = true;
            return std::nullopt;
        }
        if ((*next & 0xC0) != 0x80) return std::nullopt;
        c = (c << 6) | (*next & 0x3Fu);
    }
    // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kLeast[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    at += length;
    return c;
}

// Collects decoded code points into at most `max_lines` lines.
class Lines {
public:
    explicit Lines(std::size_t max_lines) : max_lines_(max_lines) {}
    // False once the lines are full or the character is not text.
    bool Add(char32_t c) {
        if (IsForeignControl(c)) {
            foreign_ = true;
            return false;
        }
        if (c == '\n' && ++lines_ >= max_lines_) {
            full_ = true;
            return false;
        }
        AppendUtf8(text_, c);
        return true;
    }
    bool Foreign() const { return foreign_; }
    bool Full() const { return full_; }
    std::string Take() { return std::move(text_); }

private:
    std::size_t max_lines_;
    std::size_t lines_ = 0;
    bool foreign_ = false;
    bool full_ = false;
    std::string text_;
};

std::optional<ContentText> Finish(Lines& lines, TextEncoding encoding, bool more) {
    if (lines.Foreign()) return std::nullopt;
    return ContentText{encoding, lines.Take(), lines.Full() || more};
}

std::optional<ContentText> Utf16(ByteSpan bytes, bool little_endian, std::size_t max_lines) {
    Lines lines(max_lines);
    std::size_t at = 2;
    auto unit = [&](std::size_t offset) -> std::optional<std::uint16_t> {
        const std::optional<std::uint16_t> value = read_le16(bytes, offset);
        if (!value || little_endian) return value;
        return static_cast<std::uint16_t>((*value >> 8) | (*value << 8));
    };
    while (!lines.Full()) {
        const std::optional<std::uint16_t> first = unit(at);
        if (!first) break;
        char32_t c = *first;
        at += 2;
        if (c >= 0xD800 && c <= 0xDBFF) {
            const std::optional<std::uint16_t> second = unit(at);
            if (!second) break;  // cut by the end of the bytes read
            if (*second >= 0xDC00 && *second <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (*second - 0xDC00u);
                at += 2;
            } else {
                c = kReplacement;
            }
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            c = kReplacement;
        }
        if (!lines.Add(c)) break;
    }
    return Finish(lines, little_endian ? TextEncoding::Utf16Le : TextEncoding::Utf16Be, at < bytes.size());
}

}  // namespace

const char* TextEncodingName(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::Utf8: return "UTF-8";
        case TextEncoding::Utf16Le: return "UTF-16LE";
        case TextEncoding::Utf16Be: return "UTF-16BE";
        case TextEncoding::Latin1: return "Latin-1";
    }
    return "UTF-8";
}

std::optional<ContentText> GuessText(ByteSpan bytes, std::size_t max_lines) {
    const std::uint16_t bom = read_le16(bytes, 0).value_or(0);
    if (bom == 0xFEFF) return Utf16(bytes, true, max_lines);
    if (bom == 0xFFFE) return Utf16(bytes, false, max_lines);

    std::size_t start = 0;
    if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) start = 3;
    // UTF-8 when every sequence is valid.
    {
        Lines lines(max_lines);
        std::size_t at = start;
        bool valid = true, cut = false;
        while (at < bytes.size() && !lines.Full()) {
            std::optional<char32_t> c = NextUtf8(bytes, at, cut);
            // A sequence cut by the end of what was read is still UTF-8.
            if (!c && cut) break;
            if (!c) {
                // Without the mark an invalid sequence says the text is not UTF-8.
                if (start == 0) {
                    valid = false;
                    break;
                }
                c = kReplacement;
                ++at;
            }
            if (!lines.Add(*c)) break;
        }
        if (valid) return Finish(lines, TextEncoding::Utf8, at < bytes.size());
    }
    // Latin-1: every byte is its own code point.
    Lines lines(max_lines);
    std::size_t at = 0;
    while (at < bytes.size() && lines.Add(bytes[at])) ++at;
    return Finish(lines, TextEncoding::Latin1, at < bytes.size());
}

std::string HexDump(ByteSpan bytes, std::size_t max_bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    const std::size_t shown = std::min(bytes.size(), max_bytes);
    std::string out;
    out.reserve((shown / 16 + 1) * 78);
    for (std::size_t line = 0; line < shown; line += 16) {
        for (int shift = 28; shift >= 0; shift -= 4) out.push_back(kDigits[(line >> shift) & 0xF]);
        out.append("  ");
        const std::size_t end = std::min(shown, line + 16);
        for (std::size_t i = line; i < line + 16; ++i) {
            if (i < end) {
                out.push_back(kDigits[bytes[i] >> 4]);
                out.push_back(kDigits[bytes[i] & 0xF]);
                out.push_back(' ');
            } else {
                out.append("   ");
            }
            if (i == line + 7) out.push_back(' ');
        }
        out.append(" |");
        for (std::size_t i = line; i < end; ++i)
            out.push_back(bytes[i] >= 0x20 && bytes[i] < 0x7F ? static_cast<char>(bytes[i]) : '.');
        out.append("|\n");
    }
    return out;
}

}  // namespace verandol
