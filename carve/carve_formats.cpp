#include "carve/carve_formats.h"

#include "carve/formats/bmp.h"
#include "carve/formats/flac.h"
#include "carve/formats/gif.h"
#include "carve/formats/gzip.h"
#include "carve/formats/iso_bmff.h"
#include "carve/formats/jpeg.h"
#include "carve/formats/matroska.h"
#include "carve/formats/mp3.h"
#include "carve/formats/ogg.h"
#include "carve/formats/ole2.h"
#include "carve/formats/pdf.h"
#include "carve/formats/pe.h"
#include "carve/formats/png.h"
#include "carve/formats/rar.h"
#include "carve/formats/riff.h"
#include "carve/formats/sevenzip.h"
#include "carve/formats/sqlite.h"
#include "carve/formats/text.h"
#include "carve/formats/tiff.h"
#include "carve/formats/zip.h"

namespace verandol {

namespace {

constexpr std::int64_t kMiB = 1 << 20;

// The largest file of each format taken whole: larger ones are cut there
// and come out incomplete.
constexpr CarveFormat kFormats[] = {
    {"png", "png", 256 * kMiB, PngStarts, WalkPng},
    {"jpeg", "jpg", 256 * kMiB, JpegStarts, WalkJpeg},
    {"gzip", "gz", 4096 * kMiB, GzipStarts, WalkGzip},
    {"zip", "zip", 4096 * kMiB, ZipStarts, WalkZip},
    {"pdf", "pdf", 1024 * kMiB, PdfStarts, WalkPdf},
    {"gif", "gif", 256 * kMiB, GifStarts, WalkGif},
    {"bmp", "bmp", 1024 * kMiB, BmpStarts, WalkBmp},
    {"tiff", "tif", 1024 * kMiB, TiffStarts, WalkTiff},
    {"riff", "riff", 4096 * kMiB, RiffStarts, WalkRiff},
    {"isobmff", "mp4", 16384 * kMiB, IsoBmffStarts, WalkIsoBmff},
    {"sqlite", "sqlite", 16384 * kMiB, SqliteStarts, WalkSqlite},
    {"ole2", "ole", 2048 * kMiB, Ole2Starts, WalkOle2},
    {"mp3", "mp3", 1024 * kMiB, Mp3Starts, WalkMp3},
    {"flac", "flac", 2048 * kMiB, FlacStarts, WalkFlac},
    {"ogg", "ogg", 4096 * kMiB, OggStarts, WalkOgg},
    {"matroska", "mkv", 16384 * kMiB, MatroskaStarts, WalkMatroska},
    {"7z", "7z", 16384 * kMiB, SevenZipStarts, WalkSevenZip},
    {"rar", "rar", 16384 * kMiB, RarStarts, WalkRar},
    {"pe", "exe", 2048 * kMiB, PeStarts, WalkPe},
    // Last: text is what is left when no format's signature stands first.
    {"text", "txt", 64 * kMiB, TextStarts, WalkText},
};

}  // namespace

std::span<const CarveFormat> CarveFormats() { return kFormats; }

const CarveFormat* FormatStartingAt(ByteSpan head) {
    // Most cluster starts are none: the first byte rules them out at once.
    if (head.empty()) return nullptr;
    const std::uint8_t b = head[0];
    // Zeros and the other controls begin no format but an ISO media file,
    // whose first box's size has a zero high byte; text begins with any
    // printable byte, so the signatures beyond them are each tested.
    const bool box = b == 0 && head.size() >= 8 && head[4] == 'f' && head[5] == 't' && head[6] == 'y' && head[7] == 'p';
    if (b < 0x20 && b != 0x1F && b != 0x1A && b != '\t' && b != '\n' && b != '\r' && !box) return nullptr;
    for (const CarveFormat& format : kFormats)
        if (format.starts(head)) return &format;
    return nullptr;
}

}  // namespace verandol
