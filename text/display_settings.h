// Regional settings that decide how a date-time is written in the file list.
//
// Patterns use the letter tokens understood by FormatPattern (date_time_text.h):
// "d", "mm", "yyyy", "h", "ss", "AMPM" and so on, with '/' and ':' standing for
// the date and time separators below.
#pragma once

#include <array>
#include <memory>
#include <string>

namespace verandol {

struct DisplaySettings {
    std::string short_date_pattern = "m/d/yy";
    std::string date_separator = "/";  // one character or empty
    std::string time_separator = ":";  // one character or empty
    bool leading_zero_hours = false;
    bool clock_24h = false;
    bool marker_before_time = false;
    std::string am_designator = "am";
    std::string pm_designator = "pm";
    // Day arrays start with Sunday.
    std::array<std::string, 12> short_month_names{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::array<std::string, 12> long_month_names{
        "January", "February", "March",     "April",   "May",      "June",
        "July",    "August",   "September", "October", "November", "December"};
    std::array<std::string, 7> short_day_names{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    std::array<std::string, 7> long_day_names{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                              "Thursday", "Friday", "Saturday"};

    // "h" or "hh", then ":mm:ss"; the 12-hour clock adds "AMPM " in front or
    // " AMPM" at the end. The defaults give "h:mm:ss AMPM".
    std::string long_time_pattern() const;
};

// What nl_langinfo reports for LC_TIME, as plain strings so the mapping can be
// tested without any locale installed.
struct LanginfoTexts {
    std::string d_fmt;       // D_FMT
    std::string t_fmt;       // T_FMT
    std::string t_fmt_ampm;  // T_FMT_AMPM
    std::string am_str;      // AM_STR
    std::string pm_str;      // PM_STR
    std::array<std::string, 12> abmon;  // ABMON_1..ABMON_12
    std::array<std::string, 12> mon;    // MON_1..MON_12
    std::array<std::string, 7> abday;   // ABDAY_1..ABDAY_7, Sunday first
    std::array<std::string, 7> day;     // DAY_1..DAY_7, Sunday first
};

// Translates the strftime formats and names of a POSIX locale into settings.
DisplaySettings SettingsFromLanginfo(const LanginfoTexts& texts);

// Reads the current LC_TIME locale; the caller has run setlocale(LC_TIME, "").
// nl_langinfo is not thread-safe, so call this once at start-up.
DisplaySettings SettingsFromPosixLocale();

// The settings every formatting call uses. Readers on any thread get a whole
// snapshot: a replacement made meanwhile is seen by the next call, never half.
std::shared_ptr<const DisplaySettings> CurrentDisplaySettings();
void SetCurrentDisplaySettings(DisplaySettings settings);

}  // namespace verandol
