// The answer to "open this device on the user's behalf" is asked for once
// per device and run: a second scan, the recovery after it, or the same
// device named by another path (/dev/disk/by-label/...) reuse the first
// answer, so the user is never asked for the password twice, and a refusal
// stands. A device is its number and the medium behind it: a stick plugged
// in where another was, under the same number, is asked for afresh, and the
// old one's descriptor (which reads nothing any more) is closed.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "ntfs/outcome.h"

namespace verandol {

class OncePerDevice {
public:
    // `ask` opens the device at a path, giving a descriptor this object then owns.
    using Ask = std::function<Outcome<int>(const std::string& path)>;
    // Which medium a device number stands for now; nullopt when unknown, so
    // that a number whose medium is never known is asked for once.
    using MediumOf = std::function<std::optional<std::uint64_t>(std::uint64_t device)>;
    // By default the medium is the kernel's disk sequence number.
    explicit OncePerDevice(Ask ask);
    OncePerDevice(Ask ask, MediumOf medium_of) : ask_(std::move(ask)), medium_of_(std::move(medium_of)) {}
    ~OncePerDevice();
    OncePerDevice(const OncePerDevice&) = delete;
    OncePerDevice& operator=(const OncePerDevice&) = delete;

    // A fresh descriptor for the caller to close, or the first refusal.
    // Safe from any thread: a second caller waits for the first answer.
    Outcome<int> Open(const std::string& path);

private:
    struct Answer {
        std::optional<std::uint64_t> medium;  // the medium the answer was given for
        Outcome<int> outcome;
    };

    Ask ask_;
    MediumOf medium_of_;
    std::mutex mutex_;
    std::map<std::uint64_t, Answer> answers_;  // by device number, the latest medium's
};

}  // namespace verandol
