// Date-time text as shown in the "Create Date" and "Last Modify Date" columns.
#pragma once

#include <cstdint>
#include <string>

#include "text/display_settings.h"
#include "ntfs/timestamps.h"

namespace verandol {

// The short date, then a space and the long time unless the time is exactly
// midnight (milliseconds are not shown, so they do not count).
std::string FormatDateTimeC(const LocalDateTime& when, const DisplaySettings& settings);

// Writes `when` by a pattern. Letters match regardless of case:
//   d dd        day, dd zero-padded        ddd dddd (or longer)  day name
//   m mm        month, mm zero-padded      mmm mmmm (or longer)  month name
//   y yy        two-digit year             yyy and longer        four-digit year
//   h hh        hour (12-hour when the pattern has AMPM anywhere)
//   m mm        minutes when the nearest letter before them is h
//   s ss        seconds (longer runs count as ss)
//   AMPM        the am designator for hours 0-11, the pm one for 12-23
//   / and :     the date and the time separator
//   "..." '...' the quoted text; an unclosed quote runs to the end
// Anything else, UTF-8 included, is written unchanged.
std::string FormatPattern(const std::string& pattern, const LocalDateTime& when,
                          const DisplaySettings& settings);

// Local date-time text of an NTFS time under the current display settings;
// empty when the value has no local date-time. Never throws.
std::string NtfsTimeText(std::uint64_t ntfs_time) noexcept;

}  // namespace verandol
