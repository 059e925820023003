// Volumes whose first sector is damaged but whose backup boot sector, in
// their last sector, still describes them: discovery alone, which reads
// only first sectors and partition tables, lists them as holding nothing.
#pragma once

#include "disk/drive_discovery.h"

namespace verandol {

// Moves each of `found.others` that is a volume by its backup boot sector
// over to `found.drives`, with that backup's label and serial, and a warning
// that says the backup is read. Devices this user may not read are left as
// they are: opening them would ask for access at start-up.
DiscoveryResult WithBackupBootVolumes(DiscoveryResult found);

}  // namespace verandol
