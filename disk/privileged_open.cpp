#include "disk/privileged_open.h"

#include <utility>

namespace verandol {

namespace {

// Written at start-up only, before any reader thread exists.
PrivilegedOpener& Opener() {
    static PrivilegedOpener opener;
    return opener;
}

}  // namespace

void SetPrivilegedOpener(PrivilegedOpener opener) { Opener() = std::move(opener); }

Outcome<int> OpenOnUsersBehalf(const std::string& path, const std::string& cause) {
    if (!Opener()) return Refusal(NoAccessText(path, "this user has no read permission on it (" + cause + ")", false));
    return Opener()(path);
}

std::string NoAccessText(const std::string& path, const std::string& why, bool asked) {
    const std::string group = "Verandol as a member of the disk group (sudo adduser $USER disk, then log in again)";
    return path + " may not be read: " + why +
           (asked ? ". Allow the access when the system asks for your password, or use " + group : ". Use " + group);
}

}  // namespace verandol
