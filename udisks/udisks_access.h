// Reading a block device this user may not open, the way Linux desktops do:
// UDisks2, a system service, opens it read-only on the user's behalf once
// polkit has agreed (with a password prompt from the desktop's agent), and
// hands back the descriptor. Nothing here needs the window.
#pragma once

namespace verandol {

// Points disk/'s privileged opener at UDisks2, each device asked for once
// per run. Call once on the main thread at start-up, before any volume is
// opened. A build without QtDBus installs an opener that says so.
void ReadDevicesThroughUdisks();

}  // namespace verandol
