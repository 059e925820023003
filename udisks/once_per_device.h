// The answer to "open this device on the user's behalf" is asked for once
// per device and run: a second scan, the recovery after it, or the same
// device named by another path (/dev/disk/by-label/...) reuse the first
// answer, so the user is never asked for the password twice, and a refusal
// stands.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "ntfs/outcome.h"

namespace verandol {

class OncePerDevice {
public:
    // `ask` opens the device at a path, giving a descriptor this object then owns.
    using Ask = std::function<Outcome<int>(const std::string& path)>;
    explicit OncePerDevice(Ask ask) : ask_(std::move(ask)) {}
    ~OncePerDevice();
    OncePerDevice(const OncePerDevice&) = delete;
    OncePerDevice& operator=(const OncePerDevice&) = delete;

    // A fresh descriptor for the caller to close, or the first refusal.
    // Safe from any thread: a second caller waits for the first answer.
    Outcome<int> Open(const std::string& path);

private:
    Ask ask_;
    std::mutex mutex_;
    std::map<std::uint64_t, Outcome<int>> answers_;  // by device number
};

}  // namespace verandol
