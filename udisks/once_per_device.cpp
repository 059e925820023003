#include "udisks/once_per_device.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "udisks/disk_sequence.h"

namespace verandol {

OncePerDevice::OncePerDevice(Ask ask)
    : OncePerDevice(std::move(ask), [](std::uint64_t device) { return DiskSequence(device); }) {}

OncePerDevice::~OncePerDevice() {
    for (auto& [device, answer] : answers_)
        if (answer.outcome) ::close(*answer.outcome);
}

Outcome<int> OncePerDevice::Open(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return Refusal("cannot examine " + path + ": " + std::strerror(errno));
    if (!S_ISBLK(info.st_mode)) return Refusal(path + " is not a block device");

    const std::optional<std::uint64_t> medium = medium_of_(info.st_rdev);
    const std::lock_guard<std::mutex> lock(mutex_);
    auto found = answers_.find(info.st_rdev);
    if (found != answers_.end() && found->second.medium != medium) {
        // Another medium under the same number: neither the old descriptor
        // nor the old refusal says anything about this one.
        if (found->second.outcome) ::close(*found->second.outcome);
        answers_.erase(found);
        found = answers_.end();
    }
    if (found == answers_.end()) found = answers_.emplace(info.st_rdev, Answer{medium, ask_(path)}).first;
    const Outcome<int>& answer = found->second.outcome;
    if (!answer) return Refusal(answer.reason());
    const int copy = ::fcntl(*answer, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) return Refusal("cannot use the descriptor of " + path + ": " + std::strerror(errno));
    return copy;
}

}  // namespace verandol
