// One decimal number, as a sysfs attribute file holds it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace verandol {

// The file's first word as a decimal number without sign; nullopt when the
// file cannot be read or holds anything else (a sign, a fraction, trailing
// letters, a number past 2^64 - 1). sysfs texts are read like any hostile input.
std::optional<std::uint64_t> SysfsNumber(const std::string& file);

}  // namespace verandol
