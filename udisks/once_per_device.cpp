#include "udisks/once_per_device.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace verandol {

OncePerDevice::~OncePerDevice() {
    for (auto& [device, answer] : answers_)
        if (answer) ::close(*answer);
}

Outcome<int> OncePerDevice::Open(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return Refusal("cannot examine " + path + ": " + std::strerror(errno));
    if (!S_ISBLK(info.st_mode)) return Refusal(path + " is not a block device");

    const std::lock_guard<std::mutex> lock(mutex_);
    auto found = answers_.find(info.st_rdev);
    if (found == answers_.end()) found = answers_.emplace(info.st_rdev, ask_(path)).first;
    const Outcome<int>& answer = found->second;
    if (!answer) return Refusal(answer.reason());
    const int copy = ::fcntl(*answer, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) return Refusal("cannot use the descriptor of " + path + ": " + std::strerror(errno));
    return copy;
}

}  // namespace verandol
