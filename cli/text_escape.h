// Making volume texts safe to put into one line of TSV or JSON output.
#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace verandol::cli {

// A TSV field with tab, newline, carriage return and backslash written as
// "\t", "\n", "\r" and "\\", so every record stays on one line with the
// columns where the header says.
std::string TsvField(std::string_view text);

// Escaped fields joined by tabs, without the line end.
std::string TsvLine(std::initializer_list<std::string_view> fields);
std::string TsvLine(std::span<const std::string> fields);

// A quoted JSON string. Control characters become \u00XX; bytes that are not
// valid UTF-8 become U+FFFD, since the date texts follow the user's locale and
// a legacy locale's month names would otherwise make the line unparseable.
std::string JsonString(std::string_view text);

}  // namespace verandol::cli
