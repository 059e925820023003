#include "text/record_texts.h"


namespace verandol {

namespace {

// Writes at `out`, which has room for four bytes, and returns the end.
char* PutUtf8(char* out, char32_t cp) {
    if (cp < 0x80) {
        *out++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *out++ = static_cast<char>(0xC0 | (cp >> 6));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (cp >> 12));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (cp >> 18));
        *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

constexpr char32_t kReplacement = 0xFFFD;

}  // namespace

std::string Utf16ToUtf8(std::u16string_view units) {
    // Three bytes per unit at most: a surrogate pair's four bytes stand for two units.
    std::string out(3 * units.size(), '\0');
    char* end = out.data();
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t unit = units[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            end = PutUtf8(end, 0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            end = PutUtf8(end, kReplacement);
        } else {
            end = PutUtf8(end, unit);
        }
    }
    out.resize(static_cast<std::size_t>(end - out.data()));
    return out;
}

std::string FileExtension(std::string_view name) {
    const auto stop = name.rfind('.');
    if (stop == std::string_view::npos) return {};
    if (name.find_first_of("\\:", stop) != std::string_view::npos) return {};
    return std::string(name.substr(stop));
}

std::string PositionCaption(std::int64_t position) {
    // Written by hand: this runs once per deleted file and snprintf's
    // format parsing cost more than the rest of the caption.
    static constexpr char kDigits[] = "0123456789ABCDEF";
    char text[2 + 16];
    char* end = text + sizeof text;
    char* begin = end;
    auto value = static_cast<std::uint64_t>(position);
    do {
        *--begin = kDigits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    if (end - begin < 2) *--begin = '0';
    *--begin = 'x';
    *--begin = '0';
    return std::string(begin, end);
}

std::optional<std::int64_t> ParsePositionCaption(std::string_view caption) {
    if (caption.size() <= 2) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : caption.substr(2)) {
        unsigned digit;
        if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
        else if (c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
        else return std::nullopt;
        if (value > (static_cast<std::uint64_t>(INT64_MAX) >> 4)) return std::nullopt;
        value = value << 4 | digit;
    }
    return static_cast<std::int64_t>(value);
}

std::string StreamPositionText(std::string_view record_position_text, std::string_view stream) {
    return std::string(record_position_text).append(":").append(stream);
}

std::pair<std::string_view, std::string_view> SplitStreamPosition(std::string_view position_text) {
    const std::size_t colon = position_text.find(':');
    if (colon == std::string_view::npos) return {position_text, {}};
    return {position_text.substr(0, colon), position_text.substr(colon + 1)};
}

}  // namespace verandol
