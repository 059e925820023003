// The system services a desktop reads devices through, started by a test as
// a desktop would run them: a system bus of its own (a private socket, so
// nothing else on the machine is disturbed), udev, polkit and UDisks2. Every
// daemon started here is stopped by its pid when the object goes, also when
// the test fails.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/fixture_support.h"

namespace verandol::cli_test {

class SystemBusServices {
public:
    // Null, with the reason in `skip`, where the daemons cannot be run here.
    // `device` is the block device UDisks2 must know before this returns;
    // polkit lets the unprivileged test user (nobody) open it until Forbid().
    static std::unique_ptr<SystemBusServices> Start(const std::string& device, std::string* skip);
    ~SystemBusServices();
    SystemBusServices(const SystemBusServices&) = delete;
    SystemBusServices& operator=(const SystemBusServices&) = delete;

    // "DBUS_SYSTEM_BUS_ADDRESS=unix:path=..." for the programs run on it.
    std::string BusVariable() const { return "DBUS_SYSTEM_BUS_ADDRESS=" + address_; }
    // Takes polkit's permission away again; true once a call as the test
    // user is refused.
    bool Forbid();
    // The argument list that runs `program` as the test user on this bus.
    std::vector<std::string> AsTestUser(const std::vector<std::string>& program) const;

private:
    SystemBusServices() = default;
    bool Spawn(const std::vector<std::string>& argv, const std::string& log);
    bool OpenAllowed() const;

    testing::TempDir folder_;
    std::string address_;
    std::string device_;
    std::string rule_file_;
    std::vector<pid_t> started_;  // in start order; stopped in reverse
};

}  // namespace verandol::cli_test
