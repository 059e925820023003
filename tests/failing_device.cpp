#include "tests/failing_device.h"

#include <set>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace verandol::testing {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The program's exit, when it has ended within `limit`.
bool Reaped(pid_t program, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    do {
        int status = 0;
        if (waitpid(program, &status, WNOHANG) == program) return true;
        std::this_thread::sleep_for(10ms);
    } while (std::chrono::steady_clock::now() < until);
    return false;
}

std::string Tail(const std::string& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    std::string out = text.str();
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out.size() > 400 ? out.substr(out.size() - 400) : out;
}

}  // namespace

std::unique_ptr<FailingDevice> FailingDevice::Serve(const std::string& image, const FailingDeviceOptions& options,
                                                    std::string* skip) {
#ifndef VERANDOL_FAILING_DEVICE_PROGRAM
    (void)image, (void)options;
    return *skip = "built without libfuse3, so without the failing device", nullptr;
#else
    if (access("/dev/fuse", R_OK | W_OK) != 0) return *skip = "/dev/fuse cannot be opened here", nullptr;
    std::unique_ptr<FailingDevice> device(new FailingDevice);
    const std::string folder = device->folder_.path();
    fs::copy_file(image, folder + "/image");
    fs::create_directory(folder + "/mnt");

    std::vector<std::string> args = {VERANDOL_FAILING_DEVICE_PROGRAM, "--image", folder + "/image",
                                     "--stats", folder + "/counts", "--fail-delay", std::to_string(options.fail_delay),
                                     "--read-delay", std::to_string(options.read_delay)};
    for (auto [start, length] : options.bad) {
        args.push_back("--bad");
        args.push_back(std::to_string(start) + "+" + std::to_string(length));
    }
    args.insert(args.end(), {folder + "/mnt", "-f"});
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const std::string log = folder + "/messages";

    const pid_t parent = getpid();
    device->program_ = fork();
    if (device->program_ < 0) throw std::runtime_error("cannot start the failing device");
    if (device->program_ == 0) {
        // Ends with the test, however the test ends; it unmounts on SIGTERM.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(127);
        if (!freopen(log.c_str(), "w", stderr) || !freopen("/dev/null", "w", stdout)) _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    const auto until = std::chrono::steady_clock::now() + 10s;
    while (!fs::exists(device->path())) {
        int status = 0;
        if (waitpid(device->program_, &status, WNOHANG) == device->program_) {
            device->program_ = -1;
            return *skip = "the failing device could not mount: " + Tail(log), nullptr;
        }
        if (std::chrono::steady_clock::now() > until) return *skip = "the failing device did not appear", nullptr;
        std::this_thread::sleep_for(10ms);
    }
    return device;
#endif
}

FailingDevice::~FailingDevice() {
    if (program_ < 0) return;
    const std::string at = folder_.path() + "/mnt";
    if (std::system(("fusermount3 -u '" + at + "' 2>/dev/null").c_str()) != 0) kill(program_, SIGTERM);
    if (!Reaped(program_, 10s)) {
        kill(program_, SIGKILL);
        Reaped(program_, 10s);
        if (std::system(("umount -l '" + at + "' 2>/dev/null").c_str()) != 0) return;
    }
}

FailingDeviceCounts FailingDevice::Counts() const {
    std::ifstream in(folder_.path() + "/counts");
    if (!in) throw std::runtime_error("the failing device keeps no counts");
    FailingDeviceCounts counts;
    std::string key;
    std::uint64_t value = 0, reads = 0;
    while (in >> key) {
        if (key == "reads" && in >> value) counts.reads = value;
        else if (key == "failing_reads" && in >> value) counts.failing_reads = value;
        else if (key == "sector" && in >> value >> reads) counts.sector_reads[value] = reads;
        else throw std::runtime_error("the failing device's counts cannot be read at " + key);
    }
    return counts;
}

std::uint64_t FailingDevice::ReadsOfSector(std::uint64_t sector) const {
    const FailingDeviceCounts counts = Counts();
    const auto it = counts.sector_reads.find(sector);
    if (it == counts.sector_reads.end()) throw std::runtime_error("sector " + std::to_string(sector) + " is not bad");
    return it->second;
}

std::int64_t FirstDeletedRecordRun(const Manifest& manifest, int count) {
    std::set<std::int64_t> deleted;
    for (const ManifestFile& f : manifest.files)
        if (f.deleted) deleted.insert(f.mft_record);
    for (std::int64_t first : deleted) {
        bool all = true;
        for (std::int64_t r = first; r < first + count && all; ++r) all = deleted.count(r) > 0;
        if (all) return first;
    }
    return -1;
}

}  // namespace verandol::testing
