// An Office document's title, from the docProps/core.xml member of its ZIP.
#pragma once

#include <optional>
#include <string>

#include "ntfs/byte_reader.h"

namespace verandol {

// The text of <dc:title> in the first docProps/core.xml member whose local
// header lies in `zip` (stored, or deflated and inflated here, at most
// 64 KiB of it), entities undone; nullopt when there is none or it is empty.
std::optional<std::string> ReadOfficeTitle(ByteSpan zip);

// The text between the first <dc:title> and its end tag in `xml`, entities
// undone; nullopt when there is none.
std::optional<std::string> CoreXmlTitle(std::string_view xml);

}  // namespace verandol
