#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz/volume_entry.h"

namespace {

// One folder per fuzzing process, in memory when /dev/shm exists: the
// recoveries write and remove files for every input.
struct OutputFolder {
    std::string path;
    OutputFolder() {
        path = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        path += "/verandol-fuzz-XXXXXX";
        if (!::mkdtemp(path.data())) std::abort();
    }
    ~OutputFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const OutputFolder folder;
    verandol::fuzz::FuzzVolume(verandol::ByteSpan(data, size), folder.path);
    return 0;
}
