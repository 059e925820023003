// Lines of /proc/self/mountinfo: which device and which source each mount has.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace verandol {

struct MountEntry {
    std::uint64_t device = 0;  // the st_dev of files under the mount point
    std::string mount_point;
    std::string fs_type;
    std::string source;  // "/dev/loop0" for a block mount; anything for others
};

// "\ooo" octal escapes (how the kernel writes space, tab, newline and
// backslash) turned back into their bytes; anything else is kept as written.
std::string UnescapeMountField(std::string_view field);

// One line: "ID PARENT MAJ:MIN ROOT MOUNTPOINT OPTIONS [OPTIONAL...] - TYPE
// SOURCE SUPEROPTIONS". Nullopt for a line of any other shape.
std::optional<MountEntry> ParseMountInfoLine(std::string_view line);

// Every well-formed line of a whole table; the others are passed over.
std::vector<MountEntry> ParseMountInfo(std::string_view table);

// The mount a path lies under: among the entries of `device`, the one whose
// mount point is the longest leading part of `path` (absolute and without
// symbolic links); the last such entry wins, as later mounts hide earlier ones.
std::optional<MountEntry> MountHolding(const std::vector<MountEntry>& table, std::uint64_t device,
                                       std::string_view path);

}  // namespace verandol
