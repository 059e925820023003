#include "system_bus_services.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "cli_runner.h"

extern char** environ;

namespace verandol::cli_test {

namespace {

namespace fs = std::filesystem;

const char* const kDbusDaemon = "/usr/bin/dbus-daemon";
const char* const kUdevd = "/lib/systemd/systemd-udevd";
const char* const kUdevadm = "/usr/bin/udevadm";
const char* const kPolkitd = "/usr/lib/polkit-1/polkitd";
const char* const kUdisksd = "/usr/libexec/udisks2/udisksd";
const char* const kSetpriv = "/usr/bin/setpriv";
const char* const kBusctl = "/usr/bin/busctl";
const char* const kRulesDir = "/etc/polkit-1/rules.d";

// The default policy of the system bus, listening on a socket of our own
// and starting nothing on demand: the daemons are started by the test.
std::string BusConfig(const std::string& socket) {
    return R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <auth>EXTERNAL</auth>
  <listen>unix:path=)" +
           socket + R"(</listen>
  <policy context="default">
    <allow user="*"/>
    <deny own="*"/>
    <deny send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_requested_reply="true" send_type="method_return"/>
    <allow send_requested_reply="true" send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow receive_type="signal"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus.Introspectable"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus.Properties"/>
  </policy>
  <includedir>/usr/share/dbus-1/system.d</includedir>
  <includedir>/etc/dbus-1/system.d</includedir>
</busconfig>
)";
}

// Allows the test user to open this one device and nothing else, so a
// second run of this test beside us keeps its own verdicts.
std::string RuleText(const std::string& device) {
    return "polkit.addRule(function(action, subject) {\n"
           "    if (action.id.indexOf(\"org.freedesktop.udisks2.open-device\") == 0 &&\n"
           "        action.lookup(\"device\") == \"" +
           device +
           "\" && subject.user == \"nobody\")\n"
           "        return polkit.Result.YES;\n"
           "});\n";
}

bool WaitFor(const std::function<bool()>& done, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return done();
}

bool Succeeds(const std::vector<std::string>& argv) { return RunProgram(argv).status == 0; }

void Stop(pid_t pid) {
    ::kill(pid, SIGTERM);
    const bool ended = WaitFor([pid] { return ::waitpid(pid, nullptr, WNOHANG) == pid; }, std::chrono::seconds(5));
    if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
}

}  // namespace

std::unique_ptr<SystemBusServices> SystemBusServices::Start(const std::string& device, std::string* skip) {
    if (::geteuid() != 0) return *skip = "the system services need root", nullptr;
    for (const char* program : {kDbusDaemon, kUdevd, kUdevadm, kPolkitd, kUdisksd, kSetpriv, kBusctl})
        if (!fs::exists(program)) return *skip = std::string(program) + " is not installed", nullptr;
    if (!fs::is_directory(kRulesDir)) return *skip = std::string(kRulesDir) + " is missing", nullptr;

    std::unique_ptr<SystemBusServices> services(new SystemBusServices);
    SystemBusServices& s = *services;
    s.device_ = device;
    // The test user reaches the bus's socket through this folder.
    ::chmod(s.folder_.path().c_str(), 0755);
    const std::string socket = s.folder_.path() + "/system_bus_socket";
    s.address_ = "unix:path=" + socket;
    std::ofstream(s.folder_.path() + "/bus.conf") << BusConfig(socket);
    if (!s.Spawn({kDbusDaemon, "--config-file=" + s.folder_.path() + "/bus.conf", "--nofork", "--nopidfile"}, "dbus"))
        return *skip = "dbus-daemon cannot be started", nullptr;
    if (!WaitFor([&] { return fs::exists(socket); }, std::chrono::seconds(10)))
        return *skip = "dbus-daemon made no socket", nullptr;

    // One udevd serves the machine: a running one is used, not replaced.
    const std::vector<std::string> ping{kUdevadm, "control", "--ping"};
    if (!Succeeds(ping)) {
        if (!s.Spawn({kUdevd}, "udevd") || !WaitFor([&] { return Succeeds(ping); }, std::chrono::seconds(10)))
            return *skip = "systemd-udevd cannot be started", nullptr;
    }
    const std::string name = fs::path(device).filename().string();
    Succeeds({kUdevadm, "trigger", "--subsystem-match=block", "--sysname-match=" + name, "--action=add"});
    Succeeds({kUdevadm, "settle", "--timeout=30"});

    s.rule_file_ = std::string(kRulesDir) + "/49-verandol-test-" + std::to_string(::getpid()) + ".rules";
    std::ofstream(s.rule_file_) << RuleText(device);
    ::chmod(s.rule_file_.c_str(), 0644);
    if (!s.Spawn({kPolkitd, "--no-debug"}, "polkitd") || !s.Spawn({kUdisksd}, "udisksd"))
        return *skip = "polkitd or udisksd cannot be started", nullptr;
    const std::vector<std::string> resolve{"/usr/bin/env",
                                           s.BusVariable(),
                                           kBusctl,
                                           "--system",
                                           "call",
                                           "org.freedesktop.UDisks2",
                                           "/org/freedesktop/UDisks2/Manager",
                                           "org.freedesktop.UDisks2.Manager",
                                           "ResolveDevice",
                                           "a{sv}a{sv}",
                                           "1",
                                           "path",
                                           "s",
                                           device,
                                           "0"};
    if (!WaitFor([&] { return RunProgram(resolve).out.starts_with("ao 1 "); }, std::chrono::seconds(30)))
        return *skip = "UDisks2 did not come to know " + device, nullptr;
    if (!WaitFor([&] { return s.OpenAllowed(); }, std::chrono::seconds(15)))
        return *skip = "polkit did not take up the test's rule", nullptr;
    return services;
}

SystemBusServices::~SystemBusServices() {
    if (!rule_file_.empty()) ::unlink(rule_file_.c_str());
    for (auto pid = started_.rbegin(); pid != started_.rend(); ++pid) Stop(*pid);
}

bool SystemBusServices::Spawn(const std::vector<std::string>& argv, const std::string& log) {
    std::vector<std::string> owned = argv;
    std::vector<char*> pointers;
    for (std::string& arg : owned) pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    std::vector<std::string> environment{BusVariable(), "PATH=/usr/sbin:/usr/bin:/sbin:/bin"};
    std::vector<char*> env;
    for (std::string& entry : environment) env.push_back(entry.data());
    env.push_back(nullptr);

    const std::string log_path = folder_.path() + "/" + log + ".log";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, pointers[0], &actions, nullptr, pointers.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    started_.push_back(pid);
    return true;
}

std::vector<std::string> SystemBusServices::AsTestUser(const std::vector<std::string>& program) const {
    std::vector<std::string> argv{kSetpriv, "--reuid=65534", "--regid=65534",      "--clear-groups", "/usr/bin/env",
                                  "-i",     BusVariable(),   "PATH=/usr/bin:/bin", "LANG=C.UTF-8"};
    argv.insert(argv.end(), program.begin(), program.end());
    return argv;
}

bool SystemBusServices::OpenAllowed() const {
    const std::string object = "/org/freedesktop/UDisks2/block_devices/" + fs::path(device_).filename().string();
    return RunProgram(AsTestUser({kBusctl, "--system", "call", "org.freedesktop.UDisks2", object,
                                  "org.freedesktop.UDisks2.Block", "OpenDevice", "sa{sv}", "r", "0"}))
               .status == 0;
}

bool SystemBusServices::Forbid() {
    ::unlink(rule_file_.c_str());
    rule_file_.clear();
    return WaitFor([&] { return !OpenAllowed(); }, std::chrono::seconds(15));
}

}  // namespace verandol::cli_test
