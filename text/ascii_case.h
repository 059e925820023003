// Letter case in ASCII only, byte by byte: the list's sort, the date
// patterns and the record positions fold a to z and A to Z and nothing else,
// whatever the locale, and never split a UTF-8 character.
#pragma once

namespace verandol {

constexpr bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace verandol
