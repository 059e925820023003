// Which boot sector a scan goes by: the volume's first sector, or the backup
// copy NTFS keeps in the sector after the ones it counts as the volume's.
#pragma once

#include <functional>
#include <string>

#include "ntfs/boot_sector.h"
#include "ntfs/byte_source.h"

namespace verandol {

struct ChosenBoot {
    BootSectorBytes bytes{};
    // Says the backup was taken; empty when the first sector was.
    std::string note;
};

// The first sector when it says NTFS and gives a usable layout. Otherwise the
// last sector of `volume` when it is a boot sector whose sector count places
// it there; otherwise the first sector again, so the scan says what is wrong
// with it. With `look_further` (a volume named by its byte offset on a disk,
// so its end is not known) the backup is also sought by reading on from the
// first sector until a boot sector whose count places it where it lies.
// `stop` is asked while it reads on.
ChosenBoot ChooseBootSector(ByteSource& volume, bool look_further = false,
                            const std::function<bool()>& stop = {});

}  // namespace verandol
