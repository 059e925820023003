#include "carve/carve_formats.h"

#include "carve/formats/gif.h"
#include "carve/formats/gzip.h"
#include "carve/formats/jpeg.h"
#include "carve/formats/pdf.h"
#include "carve/formats/png.h"
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
};

}  // namespace

std::span<const CarveFormat> CarveFormats() { return kFormats; }

const CarveFormat* FormatStartingAt(ByteSpan head) {
    // Most cluster starts are none: the first byte rules them out at once.
    if (head.empty()) return nullptr;
    const std::uint8_t b = head[0];
    if (b != 0x89 && b != 0xFF && b != 0x1F && b != 'P' && b != '%' && b != 'G') return nullptr;
    for (const CarveFormat& format : kFormats)
        if (format.starts(head)) return &format;
    return nullptr;
}

}  // namespace verandol
