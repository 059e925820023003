// The texts a deleted file's row shows, and the record position read back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace verandol {

// UTF-16 as stored on the volume to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view units);

// From the name's last full stop to its end, the stop included; empty when the
// name has none, or when a backslash or colon follows the last one.
std::string FileExtension(std::string_view name);

// "0x" and the byte position in upper-case hexadecimal, at least two digits.
std::string PositionCaption(std::int64_t position);

// The record position of a row's first cell: the text after its first two
// characters read as hexadecimal. Nullopt when that is not a hexadecimal
// number that fits a non-negative 64-bit position (the cell is editable).
std::optional<std::int64_t> ParsePositionCaption(std::string_view caption);

// A named data stream's row has the record's position text, ":" and the
// stream's name ("0x4C00:ADS"): what names the stream to a recovery.
std::string StreamPositionText(std::string_view record_position_text, std::string_view stream);
// The record's position text and the stream's name, split at the first
// colon; the stream is empty for a file's own data.
std::pair<std::string_view, std::string_view> SplitStreamPosition(std::string_view position_text);

}  // namespace verandol
