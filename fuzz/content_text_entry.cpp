#include "fuzz/content_text_entry.h"

#include <algorithm>

#include "fuzz/fuzz_check.h"
#include "text/content_text.h"

namespace verandol::fuzz {

void FuzzContentText(ByteSpan input) {
    constexpr std::size_t kLines = 40;
    const std::optional<ContentText> text = GuessText(input, kLines);
    if (text) {
        // Whatever the bytes, what is shown is valid UTF-8 of at most the lines asked for.
        const ByteSpan shown(reinterpret_cast<const std::uint8_t*>(text->utf8.data()), text->utf8.size());
        const std::optional<ContentText> again = GuessText(shown, kLines + 1);
        // A U+FEFF the text begins with reads again as a byte-order mark.
        const std::size_t mark = text->utf8.starts_with("\xEF\xBB\xBF") ? 3 : 0;
        VERANDOL_FUZZ_CHECK(again && again->encoding == TextEncoding::Utf8 && again->utf8 == text->utf8.substr(mark));
        VERANDOL_FUZZ_CHECK(static_cast<std::size_t>(std::count(text->utf8.begin(), text->utf8.end(), '\n')) < kLines);
    }
    const std::size_t shown = std::min<std::size_t>(input.size(), 4096);
    const std::string dump = HexDump(input, 4096);
    VERANDOL_FUZZ_CHECK(static_cast<std::size_t>(std::count(dump.begin(), dump.end(), '\n')) == (shown + 15) / 16);
}

}  // namespace verandol::fuzz
