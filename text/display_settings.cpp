#include "text/display_settings.h"

#include <langinfo.h>

#include <cstddef>
#include <mutex>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "text/ascii_case.h"

namespace verandol {

std::string DisplaySettings::long_time_pattern() const {
    std::string clock = leading_zero_hours ? "hh" : "h";
    clock += ":mm:ss";
    if (clock_24h) return clock;
    return marker_before_time ? "AMPM " + clock : clock + " AMPM";
}

namespace {

// One piece of a strftime format: a conversion such as %d, or literal text.
struct FormatItem {
    bool is_field = false;
    char conversion = 0;
    char flag = 0;  // '-', '_', '0', ... or 0 when none was given
    std::string literal;
};

// Splits a strftime format into conversions and literal runs. The composite
// conversions (%D, %F, %T, %R, %r) are expanded so the callers only ever see
// single fields. Width digits and the E/O modifiers change nothing we can show
// and are skipped.
void Tokenize(const std::string& format, const std::string& ampm_format, bool allow_r,
              std::vector<FormatItem>& items) {
    auto add_literal = [&items](const std::string& text) {
        if (!items.empty() && !items.back().is_field)
            items.back().literal += text;
        else
            items.push_back({false, 0, 0, text});
    };
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            add_literal(std::string(1, format[i]));
            continue;
        }
        std::size_t j = i + 1;
        char flag = 0;
        while (j < format.size() &&
               std::string_view("-_0^#").find(format[j]) != std::string_view::npos)
            flag = format[j++];
        while (j < format.size() && format[j] >= '0' && format[j] <= '9') ++j;
        while (j < format.size() && (format[j] == 'E' || format[j] == 'O')) ++j;
        if (j >= format.size()) {  // a dangling '%' is shown as it stands
            add_literal(format.substr(i));
            break;
        }
        const char conversion = format[j];
        i = j;
        switch (conversion) {
            case '%': add_literal("%"); break;
            case 'n':
            case 't': add_literal(" "); break;
            case 'D': Tokenize("%m/%d/%y", ampm_format, false, items); break;
            case 'F': Tokenize("%Y-%m-%d", ampm_format, false, items); break;
            case 'T': Tokenize("%H:%M:%S", ampm_format, false, items); break;
            case 'R': Tokenize("%H:%M", ampm_format, false, items); break;
            case 'r':
                // Only one level: a T_FMT_AMPM that itself says %r would loop.
                if (allow_r)
                    Tokenize(ampm_format.empty() ? "%I:%M:%S %p" : ampm_format, ampm_format, false,
                             items);
                break;
            default: items.push_back({true, conversion, flag, {}}); break;
        }
    }
}

std::vector<FormatItem> Tokenize(const std::string& format, const std::string& ampm_format) {
    std::vector<FormatItem> items;
    Tokenize(format, ampm_format, true, items);
    return items;
}

// Whether literal text between two fields can serve as a separator: nothing,
// or one ASCII mark. A lone letter or a CJK character such as "年" is a word
// of the format, not a separator, and must stay where it is.
bool IsSeparatorText(const std::string& text) {
    if (text.empty()) return true;
    if (text.size() != 1) return false;
    const auto c = static_cast<unsigned char>(text[0]);
    const bool alphanumeric = (c >= '0' && c <= '9') || IsAsciiLetter(static_cast<char>(c));
    return c < 0x80 && !alphanumeric;
}

bool Unpadded(char flag) { return flag == '-' || flag == '_'; }

// Pattern token for a date conversion, or empty for conversions the pattern
// language cannot express (week numbers, day of year, ...), which are left out.
std::string DateToken(const FormatItem& item) {
    switch (item.conversion) {
        case 'd': return Unpadded(item.flag) ? "d" : "dd";
        case 'e': return item.flag == '0' ? "dd" : "d";
        case 'm': return Unpadded(item.flag) ? "m" : "mm";
        case 'y': return "yy";
        case 'Y': return "yyyy";
        case 'b':
        case 'h': return "mmm";
        case 'B': return "mmmm";
        case 'a': return "ddd";
        case 'A': return "dddd";
        default: return {};
    }
}

// Literal text in a pattern must not be read as tokens: ASCII letters and the
// separator marks go inside double quotes, a double quote inside single ones.
// Everything else, UTF-8 included, is written as it stands.
std::string QuoteLiteral(const std::string& text) {
    std::string out;
    bool open = false;
    for (const char c : text) {
        if (IsAsciiLetter(c) || c == '/' || c == ':' || c == '\'') {
            if (!open) out += '"';
            open = true;
            out += c;
            continue;
        }
        if (open) out += '"';
        open = false;
        out += c == '"' ? std::string("'\"'") : std::string(1, c);
    }
    if (open) out += '"';
    return out;
}

// Date part. The text between the first two fields is taken as the locale's
// date separator when it is a single mark (or nothing at all); each gap
// between fields holding exactly that text becomes '/'. Any other first gap
// ("%Y년 %m월 %d일", "%Y年%m月%d日") means the locale has no separator in our
// sense: the default separator is kept and every literal stays as written,
// so the locale's own wording still shows.
void MapDateFormat(const LanginfoTexts& texts, DisplaySettings& settings) {
    struct Piece {
        std::string token;  // pattern token of a field; empty for a literal
        std::string literal;
    };
    std::vector<Piece> pieces;
    for (const FormatItem& item : Tokenize(texts.d_fmt, texts.t_fmt_ampm)) {
        if (!item.is_field) {
            if (!pieces.empty() && pieces.back().token.empty())
                pieces.back().literal += item.literal;
            else
                pieces.push_back({{}, item.literal});
            continue;
        }
        std::string token = DateToken(item);
        if (token.empty()) continue;
        // Keep an explicit, possibly empty, gap between every two fields.
        if (!pieces.empty() && !pieces.back().token.empty()) pieces.push_back({{}, {}});
        pieces.push_back({std::move(token), {}});
    }

    std::optional<std::string> separator;
    std::size_t fields = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i].token.empty()) continue;
        ++fields;
        if (!separator && i + 2 < pieces.size() && pieces[i + 1].token.empty() &&
            !pieces[i + 2].token.empty()) {
            separator = pieces[i + 1].literal;
        }
    }
    if (fields == 0) return;  // no usable D_FMT: keep the defaults
    if (separator && !IsSeparatorText(*separator)) separator.reset();

    std::string pattern;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (!pieces[i].token.empty()) {
            pattern += pieces[i].token;
            continue;
        }
        const bool gap = i > 0 && i + 1 < pieces.size() && !pieces[i + 1].token.empty() &&
                         !pieces[i - 1].token.empty();
        if (gap && separator && pieces[i].literal == *separator) {
            pattern += '/';
        } else if (gap && pieces[i].literal.empty() &&
                   AsciiLower(pieces[i - 1].token.back()) ==
                       AsciiLower(pieces[i + 1].token.front())) {
            pattern += "\"\"";  // "dd" next to "ddd" would read as one run
        } else {
            pattern += QuoteLiteral(pieces[i].literal);
        }
    }
    settings.short_date_pattern = std::move(pattern);
    settings.date_separator = separator.value_or(DisplaySettings{}.date_separator);
}

bool IsHourField(const FormatItem& item) {
    return item.is_field &&
           std::string_view("HkIl").find(item.conversion) != std::string_view::npos;
}

bool IsMarkerField(const FormatItem& item) {
    return item.is_field && (item.conversion == 'p' || item.conversion == 'P');
}

// Position of %p relative to the hour in `format`, if it has both.
std::optional<bool> MarkerBeforeHour(const std::vector<FormatItem>& items) {
    std::optional<std::size_t> hour, marker;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!hour && IsHourField(items[i])) hour = i;
        if (!marker && IsMarkerField(items[i])) marker = i;
    }
    if (!hour || !marker) return std::nullopt;
    return *marker < *hour;
}

// Time part. Only the clock, the hour padding, the separator and the place of
// the marker are taken over: the long time pattern itself is always composed
// from them (see long_time_pattern), so any other wording in T_FMT, such as
// the Korean "시"/"분"/"초", is not shown.
void MapTimeFormat(const LanginfoTexts& texts, DisplaySettings& settings) {
    const std::vector<FormatItem> items = Tokenize(texts.t_fmt, texts.t_fmt_ampm);
    std::size_t hour = 0;
    while (hour < items.size() && !IsHourField(items[hour])) ++hour;
    if (hour < items.size()) {
        const FormatItem& field = items[hour];
        settings.clock_24h = field.conversion == 'H' || field.conversion == 'k';
        const bool padded_by_default = field.conversion == 'H' || field.conversion == 'I';
        settings.leading_zero_hours = padded_by_default ? !Unpadded(field.flag) : field.flag == '0';

        std::string separator = DisplaySettings{}.time_separator;
        if (hour + 1 < items.size() && items[hour + 1].is_field &&
            items[hour + 1].conversion == 'M') {
            separator.clear();
        } else if (hour + 2 < items.size() && items[hour + 2].is_field &&
                   items[hour + 2].conversion == 'M' && IsSeparatorText(items[hour + 1].literal)) {
            separator = items[hour + 1].literal;
        }
        settings.time_separator = std::move(separator);
    }

    // T_FMT_AMPM is where a 24-hour locale still says where the marker goes;
    // a 12-hour T_FMT is asked only when that is silent.
    std::optional<bool> before = MarkerBeforeHour(Tokenize(texts.t_fmt_ampm, {}));
    if (!before) before = MarkerBeforeHour(items);
    settings.marker_before_time = before.value_or(false);
}

template <std::size_t N>
void TakeNames(const std::array<std::string, N>& from, std::array<std::string, N>& to) {
    // A locale lacking a name keeps the English one instead of showing nothing.
    for (std::size_t i = 0; i < N; ++i)
        if (!from[i].empty()) to[i] = from[i];
}

std::mutex& CurrentMutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<const DisplaySettings>& CurrentSlot() {
    static std::shared_ptr<const DisplaySettings> slot = std::make_shared<const DisplaySettings>();
    return slot;
}

}  // namespace

DisplaySettings SettingsFromLanginfo(const LanginfoTexts& texts) {
    DisplaySettings settings;
    MapDateFormat(texts, settings);
    MapTimeFormat(texts, settings);
    // Taken as the locale gives them, even empty: de_DE has none, and on the
    // 24-hour clock they are never shown anyway.
    settings.am_designator = texts.am_str;
    settings.pm_designator = texts.pm_str;
    TakeNames(texts.abmon, settings.short_month_names);
    TakeNames(texts.mon, settings.long_month_names);
    TakeNames(texts.abday, settings.short_day_names);
    TakeNames(texts.day, settings.long_day_names);
    return settings;
}

DisplaySettings SettingsFromPosixLocale() {
    static constexpr nl_item kAbMon[12] = {ABMON_1, ABMON_2, ABMON_3, ABMON_4,  ABMON_5,  ABMON_6,
                                           ABMON_7, ABMON_8, ABMON_9, ABMON_10, ABMON_11, ABMON_12};
    static constexpr nl_item kMon[12] = {MON_1, MON_2, MON_3, MON_4,  MON_5,  MON_6,
                                         MON_7, MON_8, MON_9, MON_10, MON_11, MON_12};
    static constexpr nl_item kAbDay[7] = {ABDAY_1, ABDAY_2, ABDAY_3, ABDAY_4,
                                          ABDAY_5, ABDAY_6, ABDAY_7};
    static constexpr nl_item kDay[7] = {DAY_1, DAY_2, DAY_3, DAY_4, DAY_5, DAY_6, DAY_7};
    auto text = [](nl_item item) {
        const char* value = nl_langinfo(item);
        return std::string(value != nullptr ? value : "");
    };
    LanginfoTexts texts;
    texts.d_fmt = text(D_FMT);
    texts.t_fmt = text(T_FMT);
    texts.t_fmt_ampm = text(T_FMT_AMPM);
    texts.am_str = text(AM_STR);
    texts.pm_str = text(PM_STR);
    for (std::size_t i = 0; i < 12; ++i) {
        texts.abmon[i] = text(kAbMon[i]);
        texts.mon[i] = text(kMon[i]);
    }
    for (std::size_t i = 0; i < 7; ++i) {
        texts.abday[i] = text(kAbDay[i]);
        texts.day[i] = text(kDay[i]);
    }
    return SettingsFromLanginfo(texts);
}

std::shared_ptr<const DisplaySettings> CurrentDisplaySettings() {
    std::lock_guard lock(CurrentMutex());
    return CurrentSlot();
}

void SetCurrentDisplaySettings(DisplaySettings settings) {
    // Built outside the lock; the old snapshot lives on in any reader that
    // still holds it and is freed by the last of them.
    auto fresh = std::make_shared<const DisplaySettings>(std::move(settings));
    std::lock_guard lock(CurrentMutex());
    CurrentSlot().swap(fresh);
}

}  // namespace verandol
