// The walkers for audio, archives, executables and text on inputs built
// here byte by byte, whole and then damaged: the formats with no free
// encoder (RAR), or none installed (PE), and the cases a real encoder never
// writes — chains too short to be a stream, headers whose CRC fails,
// lengths that point past everything, text that runs into other bytes.
// Real encoders' files are checked end to end on the carve-audio volume.
#include <gtest/gtest.h>

#include <zlib.h>

#include <string>
#include <vector>

#include "carve/carve_formats.h"
#include "carve/carve_pass.h"
#include "carve/formats/mp3.h"
#include "carve/formats/pe.h"
#include "carve/formats/rar.h"
#include "carve/formats/sevenzip.h"
#include "carve/formats/text.h"

namespace verandol {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Append(Bytes& out, std::string_view text) { out.insert(out.end(), text.begin(), text.end()); }
void Le(Bytes& out, std::uint64_t v, int width) {
    for (int i = 0; i < width; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void PutLe(Bytes& out, std::size_t at, std::uint64_t v, int width) {
    for (int i = 0; i < width; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint32_t Crc(const Bytes& b, std::size_t from, std::size_t to) {
    return static_cast<std::uint32_t>(crc32(0, b.data() + from, static_cast<uInt>(to - from)));
}
Bytes Noise(std::size_t n, std::uint32_t seed) {
    Bytes b(n);
    for (std::uint8_t& x : b) x = static_cast<std::uint8_t>((seed = seed * 1103515245 + 12345) >> 24);
    return b;
}

WalkResult Walk(WalkResult (*walk)(CarveReader&), const Bytes& bytes, std::int64_t limit = INT64_MAX) {
    MemoryVolume volume(bytes);
    CarveReader reader(volume, 0, limit);
    return walk(reader);
}

// Pads to the next 512-byte boundary with `fill`, as what lies after a file on a volume.
Bytes Padded(Bytes b, std::uint8_t fill) {
    b.resize((b.size() / 512 + 1) * 512, fill);
    return b;
}

// MPEG-1 Layer III, 128 kbit/s, 44.1 kHz: 417 bytes a frame, 418 padded.
Bytes Mp3(int frames) {
    Bytes b;
    Append(b, "ID3");
    b.insert(b.end(), {3, 0, 0, 0, 0, 0, 20});
    b.insert(b.end(), 20, 0);
    for (int i = 0; i < frames; ++i) {
        const bool pad = i % 3 == 1;
        b.insert(b.end(), {0xFF, 0xFB, static_cast<std::uint8_t>(0x90 | (pad ? 2 : 0)), 0x64});
        const Bytes body = Noise(pad ? 414 : 413, static_cast<std::uint32_t>(i));
        b.insert(b.end(), body.begin(), body.end());
    }
    return b;
}

TEST(CarveMp3, FramesChainedToAClearEndAreCompleteAndNothingElseIs) {
    const Bytes song = Mp3(40);
    WalkResult walked = Walk(WalkMp3, Padded(song, 0));
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->length, static_cast<std::int64_t>(song.size()));
    EXPECT_EQ(walked->check, CarveCheck::Complete);
    EXPECT_EQ(walked->extension, "");

    Bytes tagged = song;
    Append(tagged, "TAG");
    tagged.resize(song.size() + 128, ' ');
    walked = Walk(WalkMp3, Padded(tagged, 0x5A));
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->length, static_cast<std::int64_t>(tagged.size()));
    EXPECT_EQ(walked->check, CarveCheck::Complete);

    // Another file's bytes over the frames from the 20th on: they stop mid-sector.
    Bytes torn = song;
    const std::size_t cut = 30 + 19 * 417 + 6 + 100;
    const Bytes later = Noise(torn.size() - cut, 7);
    std::copy(later.begin(), later.end(), torn.begin() + static_cast<std::ptrdiff_t>(cut));
    walked = Walk(WalkMp3, torn);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);
    EXPECT_LE(walked->length, static_cast<std::int64_t>(cut) + 418);

    // A few frames in a row happen by chance; a stream holds more.
    EXPECT_FALSE(Walk(WalkMp3, Padded(Mp3(3), 0)));
    // A second frame of another sample rate ends the chain at once.
    Bytes mixed = Mp3(10);
    mixed[30 + 417 + 2] = 0x94;
    EXPECT_FALSE(Walk(WalkMp3, Padded(mixed, 0)));
}

// A RAR 4 archive of stored files, its headers and data under their CRCs.
Bytes Rar4(const std::vector<std::pair<std::string, Bytes>>& files, std::uint8_t method = 0x30) {
    Bytes b{'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};
    const auto block = [&](std::uint8_t type, std::uint16_t flags, const Bytes& fields, const Bytes& data) {
        const std::size_t at = b.size();
        Le(b, 0, 2);
        b.push_back(type);
        Le(b, flags, 2);
        Le(b, 7 + fields.size(), 2);
        b.insert(b.end(), fields.begin(), fields.end());
        PutLe(b, at, Crc(b, at + 2, b.size()) & 0xFFFF, 2);
        b.insert(b.end(), data.begin(), data.end());
    };
    block(0x73, 0, Bytes(6, 0), {});
    for (const auto& [name, data] : files) {
        Bytes fields;
        Le(fields, data.size(), 4);
        Le(fields, data.size(), 4);
        fields.push_back(2);
        Le(fields, static_cast<std::uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size()))), 4);
        Le(fields, 0, 4);
        fields.push_back(29);
        fields.push_back(method);
        Le(fields, name.size(), 2);
        Le(fields, 0x20, 4);
        Append(fields, name);
        block(0x74, 0x8000, fields, data);
    }
    block(0x7B, 0x4000, {}, {});
    return b;
}

TEST(CarveRar, Rar4StoredFilesAreVerifiedHeaderByHeader) {
    const Bytes rar = Rar4({{"a.txt", Noise(3000, 1)}, {"b.bin", Noise(9000, 2)}});
    WalkResult walked = Walk(WalkRar, Padded(rar, 0xEE));
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->length, static_cast<std::int64_t>(rar.size()));
    EXPECT_EQ(walked->check, CarveCheck::Verified);

    // Compressed data is not decoded: the headers close it, nothing more.
    walked = Walk(WalkRar, Rar4({{"a.txt", Noise(3000, 1)}}, 0x33));
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Complete);

    Bytes flipped = rar;
    flipped[7 + 13 + 32 + 5 + 100] ^= 1;  // inside a.txt's stored bytes
    walked = Walk(WalkRar, flipped);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);

    Bytes bad_header = rar;
    bad_header[7 + 13 + 10] ^= 1;  // the first file header's CRC fails
    walked = Walk(WalkRar, bad_header);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);
    EXPECT_EQ(walked->length, 7 + 13);

    walked = Walk(WalkRar, rar, static_cast<std::int64_t>(rar.size()) - 3);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);

    Bytes bad_main = rar;
    bad_main[12] ^= 1;
    EXPECT_FALSE(Walk(WalkRar, bad_main));
}

// RAR 5: a header is a CRC-32, then its size and fields as variable-length integers.
void Rar5Header(Bytes& out, const Bytes& fields) {
    Bytes h;
    Le(h, fields.size(), 1);
    h.insert(h.end(), fields.begin(), fields.end());
    Le(out, static_cast<std::uint32_t>(crc32(0, h.data(), static_cast<uInt>(h.size()))), 4);
    out.insert(out.end(), h.begin(), h.end());
}

Bytes Rar5(const Bytes& data, bool stored) {
    Bytes b{'R', 'a', 'r', '!', 0x1A, 0x07, 0x01, 0x00};
    Rar5Header(b, {1, 0, 0});  // main: type, flags, archive flags
    const std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
    // file: type, flags (data), data size, file flags (CRC), unpacked size, attributes, CRC, compression, OS, name
    Bytes file{2, 2, static_cast<std::uint8_t>(0x80 | (data.size() & 0x7F)), static_cast<std::uint8_t>(data.size() >> 7),
               4, static_cast<std::uint8_t>(0x80 | (data.size() & 0x7F)), static_cast<std::uint8_t>(data.size() >> 7),
               0x20};
    Le(file, crc, 4);
    file.insert(file.end(), {static_cast<std::uint8_t>(stored ? 0 : 0x80 | 0x00), 1});
    if (!stored) file.insert(file.end() - 1, 0x01);  // method 1 at bits 7..9: two bytes of vint
    file.push_back(5);
    Append(file, "a.bin");
    Rar5Header(b, file);
    b.insert(b.end(), data.begin(), data.end());
    Rar5Header(b, {5, 0, 0});  // end of archive
    return b;
}

TEST(CarveRar, Rar5HeadersByCrc32AndStoredDataByItsOwn) {
    const Bytes data = Noise(5000, 3);
    const Bytes rar = Rar5(data, true);
    WalkResult walked = Walk(WalkRar, Padded(rar, 0x11));
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->length, static_cast<std::int64_t>(rar.size()));
    EXPECT_EQ(walked->check, CarveCheck::Verified);

    walked = Walk(WalkRar, Rar5(data, false));
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Complete);

    Bytes flipped = rar;
    flipped[rar.size() - 100] ^= 4;
    walked = Walk(WalkRar, flipped);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);

    Bytes end_broken = rar;
    end_broken[rar.size() - 1] ^= 1;  // the end block's CRC fails
    walked = Walk(WalkRar, end_broken);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);
    EXPECT_EQ(walked->length, static_cast<std::int64_t>(rar.size()) - 8);
}

TEST(CarveSevenZip, TheStartHeaderMustMatchItsCrcAndTheNextHeaderItsOwn) {
    Bytes next{0x01, 0x04, 0x06, 0x00, 0x00};  // Header, MainStreamsInfo, PackInfo ... (not parsed)
    Bytes z{'7', 'z', 0xBC, 0xAF, 0x27, 0x1C, 0, 4};
    Le(z, 0, 4);
    Le(z, 1000, 8);
    Le(z, next.size(), 8);
    Le(z, static_cast<std::uint32_t>(crc32(0, next.data(), static_cast<uInt>(next.size()))), 4);
    PutLe(z, 8, Crc(z, 12, 32), 4);
    const Bytes packed = Noise(1000, 4);
    z.insert(z.end(), packed.begin(), packed.end());
    z.insert(z.end(), next.begin(), next.end());
    WalkResult walked = Walk(WalkSevenZip, Padded(z, 0));
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->length, static_cast<std::int64_t>(z.size()));
    EXPECT_EQ(walked->check, CarveCheck::Complete) << "the packed streams are under no CRC read here";

    Bytes bad_next = z;
    bad_next[z.size() - 2] ^= 1;
    walked = Walk(WalkSevenZip, bad_next);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);

    Bytes bad_start = z;
    bad_start[20] ^= 1;  // the offset changed: the start header's CRC fails
    EXPECT_FALSE(Walk(WalkSevenZip, bad_start));
    EXPECT_EQ(FormatStartingAt(ByteSpan(bad_start.data(), 32)), nullptr);
}

// A PE32+ image: DOS header, "PE\0\0", COFF and optional headers, two
// sections, then a certificate table past them (its entry a file offset).
Bytes Pe(std::uint16_t characteristics, bool certificate, bool checksum) {
    Bytes b(0x400, 0);
    b[0] = 'M', b[1] = 'Z';
    PutLe(b, 8, 4, 2);
    PutLe(b, 0x3C, 0x80, 4);
    const std::size_t coff = 0x84, opt = coff + 20, table = opt + 240;
    b[0x80] = 'P', b[0x81] = 'E';
    PutLe(b, coff, 0x8664, 2);
    PutLe(b, coff + 2, 2, 2);
    PutLe(b, coff + 16, 240, 2);
    PutLe(b, coff + 18, characteristics, 2);
    PutLe(b, opt, 0x20B, 2);
    PutLe(b, opt + 36, 0x200, 4);  // file alignment
    PutLe(b, opt + 60, 0x400, 4);  // size of headers
    PutLe(b, opt + 68, 3, 2);      // console
    PutLe(b, opt + 108, 16, 4);
    const std::size_t sections[2][2] = {{0x400, 0x600}, {0xA00, 0x200}};
    for (std::size_t s = 0; s < 2; ++s) {
        std::copy_n(s == 0 ? ".text" : ".data", 5, b.begin() + static_cast<std::ptrdiff_t>(table + s * 40));
        PutLe(b, table + s * 40 + 16, sections[s][1], 4);
        PutLe(b, table + s * 40 + 20, sections[s][0], 4);
    }
    const Bytes code = Noise(0x800, 5);
    b.insert(b.end(), code.begin(), code.end());
    if (certificate) {
        PutLe(b, opt + 112 + 4 * 8, b.size(), 4);
        PutLe(b, opt + 112 + 4 * 8 + 4, 0x130, 4);
        const Bytes cert = Noise(0x130, 6);
        b.insert(b.end(), cert.begin(), cert.end());
    }
    if (checksum) {
        std::uint64_t sum = 0;
        for (std::size_t i = 0; i < b.size(); i += 2) {
            sum += b[i] | (i + 1 < b.size() ? b[i + 1] << 8 : 0);
            sum = (sum & 0xFFFF) + (sum >> 16);
        }
        PutLe(b, opt + 64, ((sum & 0xFFFF) + (sum >> 16)) + b.size(), 4);
    }
    return b;
}

TEST(CarvePe, SizedBySectionsAndCertificateAndNamedByKind) {
    const Bytes exe = Pe(0x22, true, false);
    WalkResult walked = Walk(WalkPe, Padded(exe, 0x90));
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->length, static_cast<std::int64_t>(exe.size()));
    EXPECT_EQ(walked->check, CarveCheck::Complete);
    EXPECT_EQ(walked->extension, "exe");

    const Bytes dll = Pe(0x2022, false, true);
    walked = Walk(WalkPe, Padded(dll, 0x90));
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->length, 0xC00);
    EXPECT_EQ(walked->check, CarveCheck::Verified) << "its checksum sums every byte";
    EXPECT_EQ(walked->extension, "dll");
    Bytes patched = dll;
    patched[0x700] ^= 0x10;
    walked = Walk(WalkPe, patched);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);

    walked = Walk(WalkPe, exe, 0x900);  // the sections run past what may be read
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);

    Bytes far = exe;
    PutLe(far, 0x3C, 0x7FFFFFF0, 4);  // e_lfanew past everything
    EXPECT_FALSE(Walk(WalkPe, far));
    Bytes no_sections = exe;
    PutLe(no_sections, 0x86, 0, 2);
    EXPECT_FALSE(Walk(WalkPe, no_sections));
    Bytes huge = exe;
    PutLe(huge, 0x84 + 20 + 240 + 16, 0xFFFFFFFF, 4);  // a raw size of 4 GiB
    walked = Walk(WalkPe, huge);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);
}

std::string Prose(std::size_t n) {
    std::string s;
    for (std::size_t i = 0; s.size() < n; ++i)
        s += "Entry " + std::to_string(i * 7919 % 1000) + ": the cluster was read again, and it held.\n";
    s.resize(n);
    return s;
}

TEST(CarveText, TakenOnlyWhereItEndsAsAWriterLeavesAFile) {
    Bytes text;
    Append(text, Prose(5000));
    WalkResult walked = Walk(WalkText, Padded(text, 0));
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->length, 5000);
    // Its start cannot be told from a middle: kept, never vouched for.
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);

    // UTF-8 after its mark, with characters past ASCII.
    Bytes marked{0xEF, 0xBB, 0xBF};
    for (int i = 0; i < 300; ++i) Append(marked, "Grüße, 世界 ");
    walked = Walk(WalkText, Padded(marked, 0));
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->length, static_cast<std::int64_t>(marked.size()));

    // UTF-16LE after its mark.
    Bytes wide{0xFF, 0xFE};
    for (const char c : Prose(2000)) wide.insert(wide.end(), {static_cast<std::uint8_t>(c), 0});
    walked = Walk(WalkText, Padded(wide, 0));
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->length, static_cast<std::int64_t>(wide.size()));

    // Text that runs into another file's bytes is a fragment: not taken.
    Bytes fragment = text;
    const Bytes later = Noise(3000, 8);
    fragment.insert(fragment.end(), later.begin(), later.end());
    EXPECT_FALSE(Walk(WalkText, fragment));
    // Too short, or mostly punctuation, or to the bound with no end.
    EXPECT_FALSE(Walk(WalkText, Padded(Bytes(text.begin(), text.begin() + 700), 0)));
    Bytes symbols(3000, '#');
    EXPECT_FALSE(Walk(WalkText, Padded(symbols, 0)));
    EXPECT_FALSE(Walk(WalkText, text, 4000));
    // A broken sequence in the middle ends the text there, mid-sector: no end.
    Bytes broken = Padded(text, 0);
    broken[2500] = 0xC3;
    broken[2501] = 'x';
    EXPECT_FALSE(Walk(WalkText, broken));
}

TEST(CarveFormats, SignaturesGoToTheirFormatsAndTextOnlyWhereNoneStands) {
    const auto name_of = [](const Bytes& head) {
        const CarveFormat* f = FormatStartingAt(ByteSpan(head.data(), std::min<std::size_t>(head.size(), 32)));
        return std::string(f ? f->name : "");
    };
    Bytes text;
    Append(text, Prose(100));
    EXPECT_EQ(name_of(text), "text");
    EXPECT_EQ(name_of(Mp3(2)), "mp3");
    EXPECT_EQ(name_of(Rar4({})), "rar");
    EXPECT_EQ(name_of(Pe(0x22, false, false)), "pe");
    Bytes pdf;
    Append(pdf, "%PDF-1.4\n" + Prose(100));
    EXPECT_EQ(name_of(pdf), "pdf");
    EXPECT_EQ(name_of(Bytes(64, 0)), "");
    EXPECT_EQ(name_of(Noise(64, 9)), "");
}

}  // namespace
}  // namespace verandol

namespace verandol {
namespace {

struct Collected final : CarveEvents {
    std::vector<CarvedFile> files;
    void Found(CarvedFile file) override { files.push_back(std::move(file)); }
};

TEST(CarveTextPass, ALongTextIsTakenOnceAndOneThatRunsIntoOtherBytesNever) {
    constexpr std::size_t kUnit = 4096;
    Bytes volume;
    Append(volume, Prose(20000));
    volume.resize(6 * kUnit, 0);
    Append(volume, Prose(30000));  // every cluster start of it is text, and none has an end
    const Bytes later = Noise(kUnit, 10);
    volume.insert(volume.end(), later.begin(), later.end());
    volume.resize((volume.size() / kUnit + 1) * kUnit, 0);
    MemoryVolume memory(volume);
    Collected found;
    CarveSetup setup;
    setup.unit = kUnit;
    CarvePass(memory, setup, found);
    ASSERT_EQ(found.files.size(), 1u);
    EXPECT_EQ(found.files[0].extent.position, 0);
    EXPECT_EQ(found.files[0].extent.length, 20000);
    EXPECT_EQ(found.files[0].extent.check, CarveCheck::Incomplete);
    EXPECT_STREQ(found.files[0].format, "text");
}

// Two volumes of one size, one after the other in the same place (a second
// stick of the same make): the first's text runs on, with no end, over the
// clusters where the second's text begins, and the second's is found all
// the same.
TEST(CarveTextPass, WhatOnePassLearntOfAVolumeIsNeverTakenForTheNext) {
    constexpr std::size_t kUnit = 4096;
    for (int round = 0; round < 2; ++round) {
        Bytes volume(2 * kUnit, 0);
        if (round == 0) {
            Append(volume, Prose(40000));
            const Bytes noise = Noise(kUnit, 11);
            volume.insert(volume.end(), noise.begin(), noise.end());
        } else {
            volume.resize(4 * kUnit, 0);
            Append(volume, Prose(9000));
        }
        volume.resize(16 * kUnit, 0);
        MemoryVolume memory(volume);
        Collected found;
        CarveSetup setup;
        setup.unit = kUnit;
        CarvePass(memory, setup, found);
        if (round == 0) {
            EXPECT_TRUE(found.files.empty());
            continue;
        }
        ASSERT_EQ(found.files.size(), 1u);
        EXPECT_EQ(found.files[0].extent.position, static_cast<std::int64_t>(4 * kUnit));
        EXPECT_EQ(found.files[0].extent.length, 9000);
    }
}

}  // namespace
}  // namespace verandol
