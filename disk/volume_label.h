#pragma once

#include <string>

namespace verandol {

// The volume label the system's probing library reports for a device or an
// image file; empty when it has none or the probe fails.
std::string GetVolumeLabel(const std::string& path);

}  // namespace verandol
