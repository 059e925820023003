#include "tests/fixture_support.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace verandol::testing {

namespace fs = std::filesystem;

std::vector<ManifestFile> Manifest::Deleted() const {
    std::vector<ManifestFile> out;
    std::copy_if(files.begin(), files.end(), std::back_inserter(out), [](const ManifestFile& f) { return f.deleted; });
    return out;
}

std::int64_t Manifest::RecordPosition(std::int64_t index) const {
    std::int64_t offset = index * record_size;
    for (auto [lcn, clusters] : mft_extents) {
        if (offset < clusters * cluster_size) return lcn * cluster_size + offset;
        offset -= clusters * cluster_size;
    }
    return -1;
}

std::vector<std::string> FixtureNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(VERANDOL_FIXTURE_SOURCE_DIR)) {
        const std::string file = entry.path().filename().string();
        const std::string suffix = ".manifest.json";
        if (file.size() > suffix.size() && file.ends_with(suffix))
            names.push_back(file.substr(0, file.size() - suffix.size()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

nlohmann::json ReadJson(const std::string& file) {
    std::ifstream in(std::string(VERANDOL_FIXTURE_SOURCE_DIR) + "/" + file);
    if (!in) throw std::runtime_error("no manifest " + file);
    return nlohmann::json::parse(in);
}

Manifest ParseManifest(const nlohmann::json& j) {
    Manifest m;
    m.image = j.at("image");
    const auto& g = j.at("geometry");
    m.bytes_per_sector = g.at("bytes_per_sector");
    m.sectors_per_cluster = g.at("sectors_per_cluster");
    m.cluster_size = g.at("cluster_size");
    m.record_size = g.at("record_size");
    m.total_sectors = g.at("total_sectors");
    m.volume_size = g.at("volume_size_bytes");
    m.mft_offset = g.at("mft_offset");
    m.label = j.value("label", "");
    m.serial = j.value("serial", "");
    for (const auto& e : j.value("mft_extents", nlohmann::json::array())) m.mft_extents.emplace_back(e.at(0), e.at(1));
    for (const auto& f : j.at("files")) {
        ManifestFile file;
        file.name = f.at("name");
        file.path = f.at("path");
        file.deleted = f.at("deleted");
        file.mft_record = f.value("mft_record", std::int64_t{-1});
        file.resident = f.value("resident", false);
        file.size = f.at("size");
        file.sha256 = f.value("sha256", "");
        for (const auto& run : f.value("runs", nlohmann::json::array()))
            file.runs.emplace_back(run.at(0).is_null() ? -1 : run.at(0).get<std::int64_t>(), run.at(1));
        file.initialized_size = f.value("initialized_size", std::int64_t{-1});
        file.compressed = f.value("compressed", false);
        file.extension_records = f.value("extension_records", 0);
        if (f.contains("folder")) file.folder = f.at("folder").get<std::string>();
        if (f.contains("recoverable")) file.recoverable = f.at("recoverable").get<int>();
        m.files.push_back(std::move(file));
    }
    return m;
}

}  // namespace

Manifest LoadManifest(const std::string& name) { return LoadManifestFile(name + ".manifest.json"); }

Manifest LoadManifestFile(const std::string& file_name) { return ParseManifest(ReadJson(file_name)); }

std::vector<std::string> DiskFixtureNames() { return {"gpt-disk", "mbr-disk"}; }

DiskManifest LoadDiskManifest(const std::string& name) {
    const nlohmann::json j = ReadJson(name + ".disk.json");
    DiskManifest disk;
    disk.name = j.at("disk");
    disk.table = j.at("table");
    disk.size = j.at("size");
    for (const auto& p : j.at("partitions")) {
        DiskPartition part;
        part.number = p.at("number");
        part.start = p.at("start");
        part.length = p.at("length");
        part.kind = p.at("kind");
        if (p.contains("volume")) part.volume = ParseManifest(p.at("volume"));
        disk.partitions.push_back(std::move(part));
    }
    return disk;
}

std::vector<DiskPartition> DiskManifest::Ntfs() const {
    std::vector<DiskPartition> out;
    std::copy_if(partitions.begin(), partitions.end(), std::back_inserter(out),
                 [](const DiskPartition& p) { return p.volume.has_value(); });
    return out;
}

std::string DiskImagePath(const std::string& name, const std::string& extension) {
    return std::string(VERANDOL_FIXTURE_DIR) + "/" + name + extension;
}
std::string EwfImagePath(const std::string& name) { return DiskImagePath(name, ".E01"); }

std::string FixtureImagePath(const std::string& name) {
    return std::string(VERANDOL_FIXTURE_DIR) + "/" + name + ".img";
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), {}};
}

namespace {

constexpr std::array<std::uint32_t, 64> kRoundConstants = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

std::uint32_t Rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

}  // namespace

void WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

void WriteZeroedCopy(const std::string& source, const std::string& target,
                     const std::vector<std::pair<std::int64_t, std::int64_t>>& zeroed) {
    std::vector<std::uint8_t> bytes = ReadWholeFile(source);
    for (const auto& [start, length] : zeroed) {
        if (start < 0 || length < 0 || start + length > static_cast<std::int64_t>(bytes.size()))
            throw std::runtime_error("range outside " + source);
        std::fill_n(bytes.begin() + start, length, std::uint8_t{0});
    }
    WriteWholeFile(target, bytes);
}

void WipeFileNames(std::vector<std::uint8_t>& image, std::size_t offset) {
    std::size_t at = offset + (image.at(offset + 20) | image.at(offset + 21) << 8);
    while (at + 8 < offset + 1024) {
        const auto le32 = [&](std::size_t from) {
            std::uint32_t value = 0;
            for (std::size_t i = 4; i-- > 0;) value = value << 8 | image.at(from + i);
            return value;
        };
        const std::uint32_t type = le32(at), length = le32(at + 4);
        if (type == 0xFFFFFFFF || length == 0) break;
        if (type == 0x30) image[at] = 0x40;  // $FILE_NAME
        at += length;
    }
}

std::string Sha256Hex(const std::vector<std::uint8_t>& bytes) {
    std::array<std::uint32_t, 8> h = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                      0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::vector<std::uint8_t> msg(bytes);
    const std::uint64_t bit_length = static_cast<std::uint64_t>(bytes.size()) * 8;
    msg.push_back(0x80);
    while (msg.size() % 64 != 56) msg.push_back(0);
    for (int i = 7; i >= 0; --i) msg.push_back(static_cast<std::uint8_t>(bit_length >> (8 * i)));
    for (std::size_t block = 0; block < msg.size(); block += 64) {
        std::array<std::uint32_t, 64> w{};
        for (int i = 0; i < 16; ++i)
            w[i] = std::uint32_t{msg[block + 4 * i]} << 24 | std::uint32_t{msg[block + 4 * i + 1]} << 16 |
                   std::uint32_t{msg[block + 4 * i + 2]} << 8 | msg[block + 4 * i + 3];
        for (int i = 16; i < 64; ++i) {
            const std::uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const std::uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        auto v = h;
        for (int i = 0; i < 64; ++i) {
            const std::uint32_t s1 = Rotr(v[4], 6) ^ Rotr(v[4], 11) ^ Rotr(v[4], 25);
            const std::uint32_t ch = (v[4] & v[5]) ^ (~v[4] & v[6]);
            const std::uint32_t t1 = v[7] + s1 + ch + kRoundConstants[i] + w[i];
            const std::uint32_t s0 = Rotr(v[0], 2) ^ Rotr(v[0], 13) ^ Rotr(v[0], 22);
            const std::uint32_t maj = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
            const std::uint32_t t2 = s0 + maj;
            v = {t1 + t2, v[0], v[1], v[2], v[3] + t1, v[4], v[5], v[6]};
        }
        for (int i = 0; i < 8; ++i) h[i] += v[i];
    }
    std::string hex;
    char digits[9];
    for (std::uint32_t word : h) {
        std::snprintf(digits, sizeof digits, "%08x", word);
        hex += digits;
    }
    return hex;
}

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "verandol-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

std::vector<std::string> TempDir::Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace verandol::testing
