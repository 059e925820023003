#include "text/date_time_text.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "text/ascii_case.h"

namespace verandol {
namespace {

bool StartsAmPm(const std::string& pattern, std::size_t at) {
    static constexpr char kToken[] = "ampm";
    if (pattern.size() - at < 4) return false;
    for (std::size_t i = 0; i < 4; ++i)
        if (AsciiLower(pattern[at + i]) != kToken[i]) return false;
    return true;
}

struct Token {
    enum Kind { kLetters, kAmPm, kDateSeparator, kTimeSeparator, kText } kind;
    char letter = 0;  // folded; for kLetters, and for kText the last unquoted letter in it
    std::size_t count = 0;
    std::string text;
};

// Runs of one token letter stay together whatever their case mix.
std::vector<Token> Scan(const std::string& pattern) {
    std::vector<Token> tokens;
    auto add_text = [&tokens](const std::string& text, char letter) {
        if (tokens.empty() || tokens.back().kind != Token::kText)
            tokens.push_back({Token::kText, 0, 0, {}});
        tokens.back().text += text;
        if (letter != 0) tokens.back().letter = letter;
    };
    for (std::size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        const char folded = AsciiLower(c);
        if (StartsAmPm(pattern, i)) {
            tokens.push_back({Token::kAmPm, 0, 0, {}});
            i += 4;
        } else if (folded == 'd' || folded == 'm' || folded == 'y' || folded == 'h' ||
                   folded == 's') {
            std::size_t end = i;
            while (end < pattern.size() && AsciiLower(pattern[end]) == folded) ++end;
            tokens.push_back({Token::kLetters, folded, end - i, {}});
            i = end;
        } else if (c == '/' || c == ':') {
            tokens.push_back({c == '/' ? Token::kDateSeparator : Token::kTimeSeparator, 0, 0, {}});
            ++i;
        } else if (c == '"' || c == '\'') {
            std::size_t close = pattern.find(c, i + 1);
            if (close == std::string::npos) close = pattern.size();
            add_text(pattern.substr(i + 1, close - i - 1), 0);
            i = close + 1;
        } else {
            const bool letter = folded >= 'a' && folded <= 'z';
            add_text(std::string(1, c), letter ? folded : 0);
            ++i;
        }
    }
    return tokens;
}

// Fields are never negative (years start at 1): write the digits directly,
// since a scan writes a dozen numbers for every deleted file.
void AppendNumber(std::string& out, int value, int width) {
    char digits[12];
    int count = 0;
    unsigned rest = static_cast<unsigned>(value < 0 ? 0 : value);
    do {
        digits[count++] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (width > count) out.append(static_cast<std::size_t>(width - count), '0');
    while (count > 0) out += digits[--count];
}

// 0 = Sunday, for any Gregorian date from year 1 on.
int DayOfWeek(int year, int month, int day) {
    static constexpr int kMonthOffset[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (month < 3) --year;
    return (year + year / 4 - year / 100 + year / 400 + kMonthOffset[month - 1] + day) % 7;
}

// Out-of-range fields come from callers building LocalDateTime by hand; show a
// blank name rather than read outside the table.
const std::string& Name(const auto& names, int index) {
    static const std::string kNone;
    return index >= 0 && static_cast<std::size_t>(index) < names.size()
               ? names[static_cast<std::size_t>(index)]
               : kNone;
}

std::string FormatTokens(const std::vector<Token>& tokens, const LocalDateTime& when,
                         const DisplaySettings& settings) {
    bool twelve_hour = false;
    for (const Token& token : tokens) twelve_hour = twelve_hour || token.kind == Token::kAmPm;

    std::string out;
    // The nearest letter before an m or mm decides whether it means minutes.
    // Unquoted letters that are not tokens count too (they are in the pattern
    // as letters); quoted text does not, and "AMPM" ends in an m.
    char previous_letter = 0;
    for (const Token& token : tokens) {
        switch (token.kind) {
            case Token::kText:
                out += token.text;
                if (token.letter != 0) previous_letter = token.letter;
                continue;
            case Token::kDateSeparator: out += settings.date_separator; continue;
            case Token::kTimeSeparator: out += settings.time_separator; continue;
            case Token::kAmPm:
                out += when.hour < 12 ? settings.am_designator : settings.pm_designator;
                previous_letter = 'm';
                continue;
            case Token::kLetters: break;
        }
        const std::size_t n = token.count;
        switch (token.letter) {
            case 'd':
                if (n <= 2)
                    AppendNumber(out, when.day, static_cast<int>(n));
                else {
                    const int weekday = DayOfWeek(when.year, when.month, when.day);
                    out +=
                        Name(n == 3 ? settings.short_day_names : settings.long_day_names, weekday);
                }
                break;
            case 'm':
                if (n <= 2 && previous_letter == 'h')
                    AppendNumber(out, when.minute, static_cast<int>(n));
                else if (n <= 2)
                    AppendNumber(out, when.month, static_cast<int>(n));
                else
                    out += Name(n == 3 ? settings.short_month_names : settings.long_month_names,
                                when.month - 1);
                break;
            case 'y':
                if (n <= 2)
                    AppendNumber(out, when.year % 100, 2);
                else
                    AppendNumber(out, when.year, 4);
                break;
            case 'h': {
                int hour = when.hour;
                if (twelve_hour) hour = hour % 12 == 0 ? 12 : hour % 12;
                AppendNumber(out, hour, n >= 2 ? 2 : 1);
                break;
            }
            case 's': AppendNumber(out, when.second, n >= 2 ? 2 : 1); break;
        }
        previous_letter = token.letter;
    }
    return out;
}

std::string FormatTokensC(const std::vector<Token>& date, const std::vector<Token>& time, const LocalDateTime& when,
                          const DisplaySettings& settings) {
    std::string text = FormatTokens(date, when, settings);
    if (when.hour != 0 || when.minute != 0 || when.second != 0) {
        text += ' ';
        text += FormatTokens(time, when, settings);
    }
    return text;
}

// The current settings with their two patterns already split into tokens: a
// scan formats two times per deleted file, and splitting the patterns anew
// each time cost more than the rest of the row.
// The last text is kept too: it depends only on the whole second, and a
// file's two times, or files copied together, often fall in the same one.
struct CompiledSettings {
    std::shared_ptr<const DisplaySettings> settings;
    std::vector<Token> date;
    std::vector<Token> time;
    std::optional<std::uint64_t> last_second;
    std::string last_text;
};

CompiledSettings& CurrentCompiledSettings() {
    thread_local CompiledSettings compiled;
    std::shared_ptr<const DisplaySettings> current = CurrentDisplaySettings();
    if (compiled.settings != current) {
        compiled.date = Scan(current->short_date_pattern);
        compiled.time = Scan(current->long_time_pattern());
        compiled.last_second.reset();
        compiled.settings = std::move(current);
    }
    return compiled;
}

}  // namespace

std::string FormatPattern(const std::string& pattern, const LocalDateTime& when,
                          const DisplaySettings& settings) {
    return FormatTokens(Scan(pattern), when, settings);
}

std::string FormatDateTimeC(const LocalDateTime& when, const DisplaySettings& settings) {
    return FormatTokensC(Scan(settings.short_date_pattern), Scan(settings.long_time_pattern()), when, settings);
}

std::string NtfsTimeText(std::uint64_t ntfs_time) noexcept {
    try {
        CompiledSettings& compiled = CurrentCompiledSettings();
        const std::uint64_t second = ntfs_time / 10'000'000;
        if (compiled.last_second == second) return compiled.last_text;
        const auto when = FileTimeToLocalDateTime(ntfs_time);
        std::string text = when ? FormatTokensC(compiled.date, compiled.time, *when, *compiled.settings) : "";
        compiled.last_second = second;
        compiled.last_text = text;
        return text;
    } catch (...) {
        // Only allocation can fail here; a blank cell beats ending the scan.
        return {};
    }
}

}  // namespace verandol
