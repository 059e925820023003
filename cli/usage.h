#pragma once

namespace verandol::cli {

// The --help text.
const char* UsageText();

}  // namespace verandol::cli
