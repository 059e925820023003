#include "carve/carve_formats.h"

#include "carve/formats/bmp.h"
#include "carve/formats/gif.h"
#include "carve/formats/gzip.h"
#include "carve/formats/iso_bmff.h"
#include "carve/formats/jpeg.h"
#include "carve/formats/ole2.h"
#include "carve/formats/pdf.h"
#include "carve/formats/png.h"
#include "carve/formats/riff.h"
#include "carve/formats/sqlite.h"
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
};

}  // namespace

std::span<const CarveFormat> CarveFormats() { return kFormats; }

const CarveFormat* FormatStartingAt(ByteSpan head) {
    // Most cluster starts are none: the first byte rules them out at once.
    if (head.empty()) return nullptr;
    const std::uint8_t b = head[0];
    // An ISO media file starts with its first box's size, whose high byte is zero.
    const bool box = b == 0 && head.size() >= 8 && head[4] == 'f' && head[5] == 't' && head[6] == 'y' && head[7] == 'p';
    if (b != 0x89 && b != 0xFF && b != 0x1F && b != 'P' && b != '%' && b != 'G' && b != 'B' && b != 'I' && b != 'M' &&
        b != 'R' && b != 'S' && b != 0xD0 && !box)
        return nullptr;
    for (const CarveFormat& format : kFormats)
        if (format.starts(head)) return &format;
    return nullptr;
}

}  // namespace verandol
