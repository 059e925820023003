// Output file names for recovered rows.
#pragma once

#include <string>
#include <string_view>

namespace verandol {

// The bytes a Linux file name may hold.
inline constexpr std::size_t kMaxFileNameBytes = 255;

// The longest prefix of UTF-8 `text` within `limit` bytes that does not cut
// a character in two.
std::string_view Utf8Prefix(std::string_view text, std::size_t limit);

// A name read from the volume made safe to create inside the output folder:
// "/" and NUL become "_", the names "." and ".." become "_" and "__", an empty
// name becomes "File_" and the row index, and a name longer than the 255 bytes
// a Linux file name may hold is shortened at a character boundary, keeping its
// extension. Every other character is kept as stored.
std::string SafeOutputName(std::string_view name, int row_index);

// What a file whose record keeps no name is written as: "File_" and the row
// index, then `type` (".jpg"), the extension its content told, if any.
std::string NamelessFileName(int row_index, std::string_view type);

// The output path of a row: the folder, "/", then the row's own (safe) name
// when `own_name`, else "File_" and the row index.
std::string OutputPath(const std::string& folder, bool own_name, std::string_view name, int row_index);

}  // namespace verandol
