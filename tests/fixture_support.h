// Access to the fixture volumes and the truth recorded about them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace verandol::testing {

struct ManifestFile {
    std::string name;
    std::string path;
    bool deleted = false;
    std::int64_t mft_record = -1;
    bool resident = false;
    std::int64_t size = 0;
    std::string sha256;  // empty when later files took its clusters
    // Non-resident data: its runs ([lcn, clusters], lcn -1 for a hole), the
    // bytes initialized (-1 when not recorded), whether it is compressed and
    // how many extension records hold its pieces.
    std::vector<std::pair<std::int64_t, std::int64_t>> runs;
    std::int64_t initialized_size = -1;
    bool compressed = false;
    int extension_records = 0;
    std::optional<std::string> folder;  // the folder a scan must show, where recorded
    std::optional<int> recoverable;     // the driver's bitmap's free share, where recorded
};

struct Manifest {
    std::string image;
    std::uint32_t bytes_per_sector = 0, sectors_per_cluster = 0, cluster_size = 0, record_size = 0;
    std::int64_t total_sectors = 0, volume_size = 0, mft_offset = 0;
    std::string label, serial;
    std::vector<std::pair<std::int64_t, std::int64_t>> mft_extents;  // lcn, clusters
    std::vector<ManifestFile> files;

    std::vector<ManifestFile> Deleted() const;
    // The byte position of MFT record `index` on the volume, along the MFT's extents.
    std::int64_t RecordPosition(std::int64_t index) const;
};

// Every fixture image, by name ("sec512-clu4k", ...).
std::vector<std::string> FixtureNames();
Manifest LoadManifest(const std::string& name);
// A manifest under another file name in the fixtures folder, such as the
// folder volume's "folders.folders.json", which stays out of FixtureNames().
Manifest LoadManifestFile(const std::string& file_name);
// The decompressed image in the build tree.
std::string FixtureImagePath(const std::string& name);

// A whole-disk image: its table and partitions, with the volume manifest of
// each NTFS one.
struct DiskPartition {
    int number = 0;
    std::int64_t start = 0, length = 0;  // bytes
    std::string kind;                    // "ntfs", "ext2", "extended"
    std::optional<Manifest> volume;
};

struct DiskManifest {
    std::string name, table;
    std::int64_t size = 0;
    std::vector<DiskPartition> partitions;
    std::vector<DiskPartition> Ntfs() const;
};

// The disk images ("gpt-disk", "mbr-disk"); not volumes, so not in FixtureNames().
std::vector<std::string> DiskFixtureNames();
DiskManifest LoadDiskManifest(const std::string& name);
// The decompressed disk (.dd) and, for gpt-disk, the same disk in another
// image format: ".E01" (the EWF acquisition's first segment), ".vhd",
// ".vhdx", ".vmdk".
std::string DiskImagePath(const std::string& name, const std::string& extension = ".dd");
std::string EwfImagePath(const std::string& name);

// A fixture's name made fit for a test name ("sec512-clu4k" -> "sec512_clu4k").
template <class ParamInfo>
std::string FixtureTestName(const ParamInfo& param_info) {
    std::string name = param_info.param;
    for (char& c : name)
        if (!(c >= 'a' && c <= 'z') && !(c >= 'A' && c <= 'Z') && !(c >= '0' && c <= '9')) c = '_';
    return name;
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::string Sha256Hex(const std::vector<std::uint8_t>& bytes);

// A copy of the driver-made image `source` at `target` with each [start,
// start + length) zeroed: the volume as a wiped table, a torn write or a
// careless tool leaves it, while the manifest of `source` stays its truth.
void WriteZeroedCopy(const std::string& source, const std::string& target,
                     const std::vector<std::pair<std::int64_t, std::int64_t>>& zeroed);

// Turns every $FILE_NAME of the 1 KiB record at `offset` into an attribute
// type nobody reads, the way a damaged record loses its names. The type
// field never lies at a stride end, so the record still passes its fixups.
void WipeFileNames(std::vector<std::uint8_t>& image, std::size_t offset);

// A fresh empty folder, removed with everything in it when destroyed.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    // Names of the entries in the folder, sorted.
    std::vector<std::string> Entries() const;

private:
    std::string path_;
};

}  // namespace verandol::testing
