#include "naming/pdf_title.h"

#include <algorithm>
#include <string_view>

#include "text/record_texts.h"

namespace verandol {

namespace {

constexpr std::size_t kMostTitleBytes = 1024;

bool IsSpace(std::uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == 0; }

int HexValue(std::uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A literal string from just after its "(": escapes undone, nested
// parentheses kept; nullopt when it does not close within the bound.
std::optional<std::string> Literal(ByteSpan pdf, std::size_t at) {
    std::string out;
    int depth = 0;
    for (; at < pdf.size() && out.size() <= kMostTitleBytes; ++at) {
        const std::uint8_t c = pdf[at];
        if (c == '\\') {
            if (++at >= pdf.size()) return std::nullopt;
            const std::uint8_t e = pdf[at];
            switch (e) {
                case 'n': out.push_back('\n'); break;
                case 'r': out.push_back('\r'); break;
                case 't': out.push_back('\t'); break;
                case 'b': out.push_back('\b'); break;
                case 'f': out.push_back('\f'); break;
                case '\r':
                case '\n': break;  // a line continued
                default:
                    if (e >= '0' && e <= '7') {
                        int value = 0;
                        for (int digits = 0; digits < 3 && at < pdf.size() && pdf[at] >= '0' && pdf[at] <= '7';
                             ++digits, ++at)
                            value = value * 8 + (pdf[at] - '0');
                        --at;
                        out.push_back(static_cast<char>(value & 0xFF));
                    } else {
                        out.push_back(static_cast<char>(e));
                    }
            }
            continue;
        }
        if (c == '(') ++depth;
        if (c == ')' && depth-- == 0) return out;
        out.push_back(static_cast<char>(c));
    }
    return std::nullopt;
}

std::optional<std::string> Hexadecimal(ByteSpan pdf, std::size_t at) {
    std::string out;
    int high = -1;
    for (; at < pdf.size() && out.size() <= kMostTitleBytes; ++at) {
        const std::uint8_t c = pdf[at];
        if (c == '>') {
            if (high >= 0) out.push_back(static_cast<char>(high << 4));
            return out;
        }
        if (IsSpace(c)) continue;
        const int value = HexValue(c);
        if (value < 0) return std::nullopt;
        if (high < 0) {
            high = value;
        } else {
            out.push_back(static_cast<char>((high << 4) | value));
            high = -1;
        }
    }
    return std::nullopt;
}

std::string ToUtf8(const std::string& raw) {
    if (raw.size() >= 2 && static_cast<std::uint8_t>(raw[0]) == 0xFE && static_cast<std::uint8_t>(raw[1]) == 0xFF) {
        std::u16string units;
        for (std::size_t i = 2; i + 1 < raw.size(); i += 2)
            units.push_back(static_cast<char16_t>((static_cast<std::uint8_t>(raw[i]) << 8) |
                                                  static_cast<std::uint8_t>(raw[i + 1])));
        return Utf16ToUtf8(units);
    }
    if (raw.size() >= 3 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0) return raw.substr(3);
    std::string out;
    for (const char ch : raw) {
        const auto c = static_cast<std::uint8_t>(ch);
        if (c < 0x80) {
            out.push_back(ch);
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

}  // namespace

std::optional<std::string> ReadPdfTitle(ByteSpan pdf) {
    static constexpr std::string_view kKey = "/Title";
    std::optional<std::string> title;
    auto at = pdf.begin();
    while ((at = std::search(at, pdf.end(), kKey.begin(), kKey.end())) != pdf.end()) {
        auto value = static_cast<std::size_t>(at - pdf.begin()) + kKey.size();
        at += static_cast<std::ptrdiff_t>(kKey.size());
        while (value < pdf.size() && IsSpace(pdf[value])) ++value;
        if (value >= pdf.size()) break;
        std::optional<std::string> raw;
        if (pdf[value] == '(') raw = Literal(pdf, value + 1);
        else if (pdf[value] == '<' && value + 1 < pdf.size() && pdf[value + 1] != '<') raw = Hexadecimal(pdf, value + 1);
        if (!raw) continue;
        std::string text = ToUtf8(*raw);
        if (!text.empty()) title = std::move(text);  // a later update's title wins
    }
    return title;
}

}  // namespace verandol
