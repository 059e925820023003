#include "tests/record_builder.h"

#include <cstring>

namespace verandol::testing {

void PutLe(Bytes& b, std::size_t offset, std::uint64_t value, std::size_t width) {
    if (b.size() < offset + width) b.resize(offset + width);
    for (std::size_t i = 0; i < width; ++i) b[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

namespace {

Bytes Resident(std::uint32_t type, const Bytes& value) {
    Bytes a(24);
    PutLe(a, 0, type, 4);
    PutLe(a, 16, value.size(), 4);
    PutLe(a, 20, 24, 2);
    a.insert(a.end(), value.begin(), value.end());
    while (a.size() % 8) a.push_back(0);
    PutLe(a, 4, a.size(), 4);
    return a;
}

}  // namespace

Bytes StandardInformation(std::uint64_t created, std::uint64_t modified) {
    Bytes value(72);
    PutLe(value, 0, created, 8);
    PutLe(value, 8, modified, 8);
    return Resident(0x10, value);
}

Bytes FileName(const std::u16string& name, std::uint8_t name_space, std::uint64_t parent) {
    Bytes value(66);
    PutLe(value, 0, parent, 8);
    value[64] = static_cast<std::uint8_t>(name.size());
    value[65] = name_space;
    for (char16_t unit : name) {
        value.push_back(static_cast<std::uint8_t>(unit));
        value.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return Resident(0x30, value);
}

Bytes ResidentData(const Bytes& value) { return Resident(0x80, value); }

Bytes NonResidentData(const Bytes& run_list, std::int64_t real_size, std::int64_t first_vcn, std::int64_t last_vcn,
                      std::uint16_t flags) {
    Bytes a(64);
    PutLe(a, 0, 0x80, 4);
    a[8] = 1;
    PutLe(a, 12, flags, 2);
    PutLe(a, 16, static_cast<std::uint64_t>(first_vcn), 8);
    PutLe(a, 24, static_cast<std::uint64_t>(last_vcn), 8);
    PutLe(a, 32, 64, 2);
    PutLe(a, 40, static_cast<std::uint64_t>(real_size), 8);
    PutLe(a, 48, static_cast<std::uint64_t>(real_size), 8);
    PutLe(a, 56, static_cast<std::uint64_t>(real_size), 8);
    a.insert(a.end(), run_list.begin(), run_list.end());
    while (a.size() % 8) a.push_back(0);
    PutLe(a, 4, a.size(), 4);
    return a;
}

Bytes Record(const std::vector<Bytes>& attributes, std::uint16_t flags, std::size_t size, std::uint16_t usn) {
    Bytes r(size);
    std::memcpy(r.data(), "FILE", 4);
    const std::size_t strides = size / 512;
    PutLe(r, 4, 48, 2);
    PutLe(r, 6, strides + 1, 2);
    const std::size_t first = (48 + 2 * (strides + 1) + 7) / 8 * 8;
    PutLe(r, 20, first, 2);
    PutLe(r, 22, flags, 2);
    std::size_t p = first;
    for (const Bytes& a : attributes) {
        std::memcpy(r.data() + p, a.data(), a.size());
        p += a.size();
    }
    PutLe(r, p, 0xFFFFFFFF, 4);
    PutLe(r, 48, usn, 2);
    for (std::size_t i = 1; i <= strides; ++i) {
        const std::size_t end = i * 512;
        r[48 + 2 * i] = r[end - 2];
        r[48 + 2 * i + 1] = r[end - 1];
        PutLe(r, end - 2, usn, 2);
    }
    return r;
}

Bytes BootSector(const BootFields& f) {
    Bytes b(512);
    std::memcpy(b.data() + 3, "NTFS    ", 8);
    PutLe(b, 0x0B, f.bytes_per_sector, 2);
    b[0x0D] = f.sectors_per_cluster;
    PutLe(b, 0x28, static_cast<std::uint64_t>(f.total_sectors), 8);
    PutLe(b, 0x30, static_cast<std::uint64_t>(f.mft_cluster), 8);
    PutLe(b, 0x40, f.clusters_per_record, 4);
    PutLe(b, 0x48, f.serial, 8);
    b[510] = 0x55;
    b[511] = 0xAA;
    return b;
}

}  // namespace verandol::testing

namespace verandol::testing {

namespace {

std::size_t SignedWidth(std::int64_t v) {
    std::size_t width = 1;
    while (width < 8) {
        const std::int64_t lo = -(std::int64_t{1} << (8 * width - 1));
        const std::int64_t hi = (std::int64_t{1} << (8 * width - 1)) - 1;
        if (v >= lo && v <= hi) break;
        ++width;
    }
    return width;
}

std::size_t UnsignedWidth(std::uint64_t v) {
    std::size_t width = 1;
    while (width < 8 && (v >> (8 * width)) != 0) ++width;
    return width;
}

}  // namespace

Bytes RunListEntry(std::uint64_t clusters, std::int64_t delta) {
    const std::size_t l = UnsignedWidth(clusters);
    const std::size_t o = delta == 0 ? 0 : SignedWidth(delta);
    Bytes e(1 + l + o);
    e[0] = static_cast<std::uint8_t>(o << 4 | l);
    for (std::size_t i = 0; i < l; ++i) e[1 + i] = static_cast<std::uint8_t>(clusters >> (8 * i));
    for (std::size_t i = 0; i < o; ++i)
        e[1 + l + i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(delta) >> (8 * i));
    return e;
}

CraftedVolume CraftVolume(const std::vector<Bytes>& user_records, std::int64_t total_clusters) {
    CraftedVolume v;
    const std::int64_t records = 16 + static_cast<std::int64_t>(user_records.size());
    const std::int64_t mft_clusters = (records * 1024 + 4095) / 4096;
    v.first_free_cluster = 4 + mft_clusters;
    v.bytes.assign(static_cast<std::size_t>(total_clusters * 4096), 0);
    BootFields f;
    f.total_sectors = total_clusters * 8;
    Bytes boot = BootSector(f);
    std::copy(boot.begin(), boot.end(), v.bytes.begin());
    Bytes runs = RunListEntry(static_cast<std::uint64_t>(mft_clusters), 4);
    runs.push_back(0);
    Bytes record0 = Record({StandardInformation(0, 0), FileName(u"$MFT", 3),
                            NonResidentData(runs, mft_clusters * 4096, 0, mft_clusters - 1)},
                           0x0001);
    std::copy(record0.begin(), record0.end(), v.bytes.begin() + CraftedVolume::kMftOffset);
    for (std::size_t i = 0; i < user_records.size(); ++i)
        std::copy(user_records[i].begin(), user_records[i].end(),
                  v.bytes.begin() + CraftedVolume::RecordPosition(16 + static_cast<std::int64_t>(i)));
    return v;
}

}  // namespace verandol::testing
