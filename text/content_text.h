// A file's first bytes as a person would read them: as text when they look
// like text (UTF-8, UTF-16 with its byte-order mark, or Latin-1), else as a
// hexadecimal dump. Plain C++; the bytes are the file's, so never trusted.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "ntfs/byte_reader.h"

namespace verandol {

enum class TextEncoding { Utf8, Utf16Le, Utf16Be, Latin1 };

// "UTF-8", "UTF-16LE", "UTF-16BE", "Latin-1".
const char* TextEncodingName(TextEncoding encoding);

struct ContentText {
    TextEncoding encoding = TextEncoding::Utf8;
    std::string utf8;    // the first lines, as valid UTF-8, without a byte-order mark
    bool cut = false;    // more lines or bytes followed
};

// The bytes as text of at most `max_lines` lines, or nullopt when they do
// not look like text: control characters other than tab, line ends and form
// feed, or (without a byte-order mark) a zero byte. UTF-8 is taken when the
// bytes are valid UTF-8 (a sequence cut by the end of `bytes` is allowed),
// Latin-1 otherwise. An empty input is empty UTF-8 text.
std::optional<ContentText> GuessText(ByteSpan bytes, std::size_t max_lines);

// Lines of 16 bytes: the offset in eight hexadecimal digits, the bytes in
// hexadecimal, and the printable ASCII ones as themselves ("." for others).
// At most `max_bytes` of `bytes` are shown.
std::string HexDump(ByteSpan bytes, std::size_t max_bytes);

}  // namespace verandol
