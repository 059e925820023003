#include "tests/failing_device/read_tally.h"

#include <algorithm>
#include <cstdio>

namespace verandol::testing {

ReadTally::ReadTally(const std::vector<ByteRange>& bad) : sectors_(SectorsOf(bad)), touches_(sectors_.size()) {}

void ReadTally::Count(std::uint64_t offset, std::uint64_t size, bool failed) {
    ++reads_;
    if (failed) ++failing_reads_;
    if (size == 0) return;
    const std::uint64_t first = offset / 512, last = (offset + size - 1) / 512;
    for (auto it = std::lower_bound(sectors_.begin(), sectors_.end(), first); it != sectors_.end() && *it <= last; ++it)
        ++touches_[static_cast<std::size_t>(it - sectors_.begin())];
}

bool ReadTally::WriteTo(const std::string& path) const {
    const std::string fresh = path + ".new";
    FILE* out = std::fopen(fresh.c_str(), "w");
    if (!out) return false;
    std::fprintf(out, "reads %llu\nfailing_reads %llu\n", static_cast<unsigned long long>(reads_),
                 static_cast<unsigned long long>(failing_reads_));
    for (std::size_t i = 0; i < sectors_.size(); ++i)
        std::fprintf(out, "sector %llu %llu\n", static_cast<unsigned long long>(sectors_[i]),
                     static_cast<unsigned long long>(touches_[i]));
    const bool written = std::fclose(out) == 0;
    return written && std::rename(fresh.c_str(), path.c_str()) == 0;
}

}  // namespace verandol::testing
