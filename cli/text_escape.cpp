#include "cli/text_escape.h"

#include <cstdint>

namespace verandol::cli {

namespace {

// Most fields need no escape: copy the stretches between the few that do.
void AppendTsvField(std::string& out, std::string_view text) {
    std::size_t plain = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char* escape = nullptr;
        switch (text[i]) {
            case '\t': escape = "\\t"; break;
            case '\n': escape = "\\n"; break;
            case '\r': escape = "\\r"; break;
            case '\\': escape = "\\\\"; break;
            default: continue;
        }
        out.append(text.substr(plain, i - plain));
        out += escape;
        plain = i + 1;
    }
    out.append(text.substr(plain));
}

}  // namespace

std::string TsvField(std::string_view text) {
    std::string out;
    AppendTsvField(out, text);
    return out;
}

namespace {

template <class Fields>
std::string JoinTsv(const Fields& fields) {
    std::string line;
    bool first = true;
    for (std::string_view field : fields) {
        if (!first) line += '\t';
        AppendTsvField(line, field);
        first = false;
    }
    return line;
}

}  // namespace

std::string TsvLine(std::initializer_list<std::string_view> fields) { return JoinTsv(fields); }
std::string TsvLine(std::span<const std::string> fields) { return JoinTsv(fields); }

namespace {

// Length of the well-formed UTF-8 sequence starting at text[i], or 0. Overlong
// forms, surrogates and values past U+10FFFF count as malformed.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
    const std::uint8_t lead = byte(i);
    std::size_t length = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    if (byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (std::size_t k = 2; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    }
    return length;
}

}  // namespace

std::string JsonString(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    out.reserve(text.size() + 2);
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<std::uint8_t>(text[i]);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += static_cast<char>(byte);
            ++i;
        } else if (byte < 0x20) {
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
            ++i;
        } else if (byte < 0x80) {
            out += static_cast<char>(byte);
            ++i;
        } else if (const std::size_t length = Utf8SequenceLength(text, i); length != 0) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    out += '"';
    return out;
}

}  // namespace verandol::cli
