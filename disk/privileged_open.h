// A block device this user may not open can still be read through a system
// service that opens it on the user's behalf, once the system's policy (and
// the password prompt of the desktop's agent) has agreed. disk/ knows such a
// service only through this hook, which a front end sets at start-up.
#pragma once

#include <functional>
#include <string>

#include "ntfs/outcome.h"

namespace verandol {

// Opens the block device at `path` read-only on the user's behalf: a new
// descriptor the caller owns and closes, or the words that say why not.
using PrivilegedOpener = std::function<Outcome<int>(const std::string& path)>;

// Set once at start-up, before any thread reads a volume; an empty opener
// turns the hook off, and then a device without read permission is refused.
void SetPrivilegedOpener(PrivilegedOpener opener);

// What VolumeFile::Open falls back to when opening `path` itself failed for
// want of permission (`cause` is the system's word for it).
Outcome<int> OpenOnUsersBehalf(const std::string& path, const std::string& cause);

// The one wording of "this device may not be read", for every way that ends
// there: `why` says what stood in the way; `asked` tells whether the system
// was asked, so whether allowing it when asked can help next time.
std::string NoAccessText(const std::string& path, const std::string& why, bool asked = true);

}  // namespace verandol
