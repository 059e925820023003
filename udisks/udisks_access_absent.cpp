#include "udisks/udisks_access.h"

#include "disk/privileged_open.h"

namespace verandol {

void ReadDevicesThroughUdisks() {
    SetPrivilegedOpener([](const std::string& path) -> Outcome<int> {
        return Refusal(NoAccessText(path,
                                    "this user has no read permission on it, and this build of Verandol "
                                    "cannot ask UDisks2 to open it",
                                    false));
    });
}

}  // namespace verandol
