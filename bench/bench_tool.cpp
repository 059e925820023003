// What bench/run.sh needs besides the programs it measures:
//
//   mft-read IMAGE           read the MFT's bytes along record 0's run list in
//                            1 MiB chunks and nothing else: the floor a scan
//                            cannot go below
//   mft-extents IMAGE        those extents, "byte-offset byte-length" a line
//   find IMAGE NAME          the engine's deleted-row count and NAME's position
//   runs IMAGE POSITION      the cluster size, then "lcn clusters" for each run
//                            of that record's data (for the dd reference copy)
//   recover IMAGE POSITION OUT
//                            RecoverFile alone, without the scan the command
//                            line tool does first
//   free-read IMAGE          read the clusters the cluster bitmap marks free,
//                            each free stretch in 1 MiB preads and nothing
//                            else: the floor a carve pass cannot go below
//   carve IMAGE              the carve pass alone over those clusters, without
//                            the scan before it: the files it finds by check
//
// The reference reads decode the volume with the project's own ntfs/ code, so
// they read exactly what the scan reads.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "carve/carve_pass.h"
#include "ntfs/attributes.h"
#include "ntfs/cluster_bitmap.h"
#include "ntfs/boot_sector.h"
#include "ntfs/fixups.h"
#include "ntfs/layout.h"
#include "ntfs/run_list.h"
#include "disk/volume_file.h"
#include "recover/recover_file.h"
#include "scan/scan_volume.h"

using namespace verandol;

namespace {

[[noreturn]] void Die(const std::string& why) {
    std::fprintf(stderr, "verandol-bench-tool: %s\n", why.c_str());
    std::exit(1);
}

VolumeLayout LayoutOf(ByteSource& volume) {
    const BootSectorBytes boot = ReadBootSector(volume);
    if (!IsNtfs(boot)) Die("not an NTFS volume");
    Outcome<VolumeLayout> derived = DeriveLayout(boot);
    if (!derived) Die(derived.reason());
    return *derived;
}

std::unique_ptr<VolumeFile> OpenVolume(const std::string& path) {
    auto volume = VolumeFile::TryOpen(path);
    if (!volume) Die(path + ": " + volume.reason());
    return std::move(*volume);
}

// The record at `position`, fixups applied, and its $DATA runs.
std::vector<Run> DataRuns(ByteSource& volume, const VolumeGeometry& g, std::int64_t position,
                          std::int64_t* real_size = nullptr, std::int64_t* clusters_total = nullptr) {
    std::vector<std::uint8_t> record(g.RecordSize);
    if (volume.ReadAt(position, record) != record.size()) Die("record cannot be read");
    if (!ApplyFixups(record)) Die("record fails its fixups");
    ByteSpan data = FindAttribute(record, layout::attr::kData, false);
    if (data.empty() || !IsNonResident(data)) Die("record has no non-resident data");
    auto nr = ReadNonResidentExtent(data);
    auto decoded = nr ? ReadRunList(data, *nr) : std::nullopt;
    if (!decoded) Die("data attribute is damaged");
    if (real_size) *real_size = nr->real_size;
    if (clusters_total) *clusters_total = nr->last_vcn - nr->first_vcn + 1;
    if (!decoded->reason.empty()) Die("run list: " + decoded->reason);
    return decoded->runs;
}

struct Extent {
    std::int64_t offset;
    std::int64_t length;
};

// The MFT's pieces, cut at the length record 0 gives it, as the scan's reader does.
std::vector<Extent> MftExtents(ByteSource& volume) {
    const VolumeLayout layout = LayoutOf(volume);
    std::int64_t clusters = 0;
    const std::vector<Run> runs = DataRuns(volume, layout.geometry, layout.mft_offset, nullptr, &clusters);
    const std::int64_t cluster = layout.geometry.ClusterSize;
    std::int64_t left = clusters * cluster;
    std::vector<Extent> extents;
    for (const Run& run : runs) {
        if (left <= 0) break;
        const std::int64_t bytes = std::min<std::int64_t>(static_cast<std::int64_t>(run.clusters) * cluster, left);
        if (!run.sparse && run.valid) extents.push_back({run.lcn * cluster, bytes});
        left -= bytes;
    }
    return extents;
}

int MftRead(const std::string& path) {
    auto probe = OpenVolume(path);
    const std::vector<Extent> extents = MftExtents(*probe);
    probe.reset();
    // Raw pread, not ByteSource: this is the reference, the least a reader can do.
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) Die(path + ": cannot open");
    constexpr std::int64_t kChunk = 1 << 20;
    std::vector<unsigned char> buffer(kChunk);
    std::int64_t total = 0;
    unsigned checksum = 0;
    for (const Extent& e : extents) {
        for (std::int64_t done = 0; done < e.length;) {
            const auto want = static_cast<std::size_t>(std::min(kChunk, e.length - done));
            const ssize_t got = ::pread(fd, buffer.data(), want, e.offset + done);
            if (got <= 0) Die("short read");
            // One byte a record touched, so the read cannot be optimised away.
            for (ssize_t i = 0; i < got; i += 1024) checksum += buffer[static_cast<std::size_t>(i)];
            done += got;
            total += got;
        }
    }
    ::close(fd);
    std::printf("bytes=%lld extents=%zu checksum=%u\n", static_cast<long long>(total), extents.size(), checksum);
    return 0;
}

// The cluster bitmap record 6 describes; record 6 lies in the MFT's first run.
ClusterBitmap FreeBitmap(ByteSource& volume, const VolumeLayout& layout) {
    std::vector<std::uint8_t> record(layout.geometry.RecordSize);
    const std::int64_t at = layout.mft_offset + kBitmapRecord * layout.geometry.RecordSize;
    if (volume.ReadAt(at, record) != record.size() || !ApplyFixups(record)) Die("record 6 cannot be read");
    Outcome<BitmapExtent> extent = ReadBitmapExtent(record);
    if (!extent) Die("cluster bitmap: " + extent.reason());
    return ClusterBitmap(volume, layout.geometry.ClusterSize, std::move(*extent));
}

int FreeRead(const std::string& path) {
    auto volume = OpenVolume(path);
    const VolumeLayout layout = LayoutOf(*volume);
    ClusterBitmap bitmap = FreeBitmap(*volume, layout);
    const std::int64_t cluster = layout.geometry.ClusterSize;
    const std::int64_t clusters = volume->Size() / cluster;
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) Die(path + ": cannot open");
    constexpr std::int64_t kChunk = 1 << 20;
    std::vector<unsigned char> buffer(kChunk);
    std::int64_t total = 0, stretches = 0;
    unsigned checksum = 0;
    for (std::int64_t c = 0; c < clusters;) {
        if (bitmap.IsSet(c).value_or(false)) {
            ++c;
            continue;
        }
        std::int64_t end = c + 1;
        while (end < clusters && !bitmap.IsSet(end).value_or(false)) ++end;
        ++stretches;
        for (std::int64_t at = c * cluster; at < end * cluster;) {
            const auto want = static_cast<std::size_t>(std::min(kChunk, end * cluster - at));
            const ssize_t got = ::pread(fd, buffer.data(), want, at);
            if (got <= 0) Die("short read");
            // One byte a cluster, so the read cannot be optimised away.
            for (ssize_t i = 0; i < got; i += 4096) checksum += buffer[static_cast<std::size_t>(i)];
            at += got;
            total += got;
        }
        c = end;
    }
    ::close(fd);
    std::printf("bytes=%lld stretches=%lld checksum=%u\n", static_cast<long long>(total),
                static_cast<long long>(stretches), checksum);
    return 0;
}

class CountCarved final : public CarveEvents {
public:
    void Found(CarvedFile file) override { ++found[static_cast<int>(file.extent.check)]; }
    long long found[3] = {0, 0, 0};
};

int Carve(const std::string& path) {
    auto volume = OpenVolume(path);
    const VolumeLayout layout = LayoutOf(*volume);
    ClusterBitmap bitmap = FreeBitmap(*volume, layout);
    CarveSetup setup;
    setup.unit = layout.geometry.ClusterSize;
    setup.bitmap = &bitmap;
    CountCarved events;
    const auto start = std::chrono::steady_clock::now();
    if (CarvePass(*volume, setup, events) != CarveEnd::Completed) Die("the carve pass stopped");
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("verified=%lld complete=%lld incomplete=%lld seconds=%.6f\n", events.found[0], events.found[1],
                events.found[2], took.count());
    return 0;
}

class FindEvents final : public ScanEvents {
public:
    explicit FindEvents(std::string name) : name_(std::move(name)) {}
    void DiskLabels(const std::string&, const std::string&) override {}
    void DriveSize(const std::string&) override {}
    void MftLocation(const std::string&) override {}
    void GeometryPublished(const PublishedGeometry&) override {}
    void MftFigures(const std::string&, const std::string& count) override { records = count; }
    void WalkStarting(int) override {}
    void Progress(int) override {}
    void Row(DeletedFileRow row) override {
        ++rows;
        if (row.name == name_) position = row.position_text;
    }
    bool StopRequested() override { return false; }
    void Ended(ScanEnd end, const std::string& reason) override {
        if (end != ScanEnd::Completed) Die("scan did not complete: " + reason);
    }
    long long rows = 0;
    std::string records;
    std::string position;

private:
    std::string name_;
};

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "mft-read") return MftRead(args[1]);
    if (args.size() == 2 && args[0] == "mft-extents") {
        auto volume = OpenVolume(args[1]);
        for (const Extent& e : MftExtents(*volume))
            std::printf("%lld %lld\n", static_cast<long long>(e.offset), static_cast<long long>(e.length));
        return 0;
    }
    if (args.size() == 3 && args[0] == "find") {
        FindEvents events(args[2]);
        ScanVolumePath(args[1], args[1], events);
        if (events.position.empty()) Die(args[2] + " is not listed");
        std::printf("rows=%lld\nposition=%s\n%s\n", events.rows, events.position.c_str(), events.records.c_str());
        return 0;
    }
    if (args.size() == 3 && args[0] == "runs") {
        auto volume = OpenVolume(args[1]);
        const VolumeLayout layout = LayoutOf(*volume);
        std::int64_t real_size = 0;
        const auto runs = DataRuns(*volume, layout.geometry, std::stoll(args[2], nullptr, 16), &real_size);
        std::printf("cluster_size %u\nreal_size %lld\n", layout.geometry.ClusterSize,
                    static_cast<long long>(real_size));
        for (const Run& run : runs) {
            if (run.sparse || !run.valid) Die("the reference copy expects no holes");
            std::printf("%lld %llu\n", static_cast<long long>(run.lcn), static_cast<unsigned long long>(run.clusters));
        }
        return 0;
    }
    if (args.size() == 2 && args[0] == "free-read") return FreeRead(args[1]);
    if (args.size() == 2 && args[0] == "carve") return Carve(args[1]);
    if (args.size() == 4 && args[0] == "recover") {
        auto volume = OpenVolume(args[1]);
        const VolumeLayout layout = LayoutOf(*volume);
        const auto start = std::chrono::steady_clock::now();
        const RecoverResult result = RecoverFile(*volume, args[2], layout.geometry, {}, args[3]);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (result.status != RecoverStatus::Written) Die("recovery: " + result.reason);
        std::printf("seconds=%.6f\n", took.count());
        return 0;
    }
    std::fputs("usage: verandol-bench-tool mft-read|mft-extents IMAGE | find IMAGE NAME | runs IMAGE POSITION"
               " | recover IMAGE POSITION OUT | free-read|carve IMAGE\n",
               stderr);
    return 2;
}
