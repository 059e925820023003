#include "fuzz/carve_entry.h"

#include "carve/carve_pass.h"
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
#include "fuzz/fuzz_check.h"

namespace verandol::fuzz {

namespace {

void Walk(ByteSpan input, bool (*starts)(ByteSpan), WalkResult (*walk)(CarveReader&)) {
    BorrowedVolume volume(input);
    CarveReader reader(volume, 0, volume.Size());
    const WalkResult walked = walk(reader);
    if (!starts(input)) VERANDOL_FUZZ_CHECK(!walked);
    if (!walked) return;
    VERANDOL_FUZZ_CHECK(walked->length > 0);
    VERANDOL_FUZZ_CHECK(walked->length <= volume.Size());
}

class Checked final : public CarveEvents {
public:
    explicit Checked(std::int64_t size) : size_(size) {}
    void Found(CarvedFile file) override {
        VERANDOL_FUZZ_CHECK(file.extent.position >= 0 && file.extent.length > 0);
        const CarvedPieces pieces = PiecesOf(file.extent);
        for (const CarvedPiece& piece : {pieces.first, pieces.second})
            VERANDOL_FUZZ_CHECK(piece.position >= 0 && piece.length >= 0 && piece.length <= size_ - piece.position);
        // Only a file whose structure closed is taken in two pieces.
        if (pieces.second.length > 0) VERANDOL_FUZZ_CHECK(file.extent.check != CarveCheck::Incomplete);
        // Starts ascend: nothing is carved twice, nothing before a closed file's (first piece's) end.
        VERANDOL_FUZZ_CHECK(file.extent.position >= next_);
        next_ = file.extent.position + (file.extent.check == CarveCheck::Incomplete ? 1 : pieces.first.length);
    }

private:
    std::int64_t size_;
    std::int64_t next_ = 0;
};

}  // namespace

void FuzzCarvePng(ByteSpan input) { Walk(input, PngStarts, WalkPng); }
void FuzzCarveJpeg(ByteSpan input) { Walk(input, JpegStarts, WalkJpeg); }
void FuzzCarveGzip(ByteSpan input) { Walk(input, GzipStarts, WalkGzip); }
void FuzzCarveZip(ByteSpan input) { Walk(input, ZipStarts, WalkZip); }
void FuzzCarvePdf(ByteSpan input) { Walk(input, PdfStarts, WalkPdf); }
void FuzzCarveGif(ByteSpan input) { Walk(input, GifStarts, WalkGif); }
void FuzzCarveBmp(ByteSpan input) { Walk(input, BmpStarts, WalkBmp); }
void FuzzCarveTiff(ByteSpan input) { Walk(input, TiffStarts, WalkTiff); }
void FuzzCarveRiff(ByteSpan input) { Walk(input, RiffStarts, WalkRiff); }
void FuzzCarveIsoBmff(ByteSpan input) { Walk(input, IsoBmffStarts, WalkIsoBmff); }
void FuzzCarveSqlite(ByteSpan input) { Walk(input, SqliteStarts, WalkSqlite); }
void FuzzCarveOle2(ByteSpan input) { Walk(input, Ole2Starts, WalkOle2); }
void FuzzCarveMp3(ByteSpan input) { Walk(input, Mp3Starts, WalkMp3); }
void FuzzCarveFlac(ByteSpan input) { Walk(input, FlacStarts, WalkFlac); }
void FuzzCarveOgg(ByteSpan input) { Walk(input, OggStarts, WalkOgg); }
void FuzzCarveMatroska(ByteSpan input) { Walk(input, MatroskaStarts, WalkMatroska); }
void FuzzCarveSevenZip(ByteSpan input) { Walk(input, SevenZipStarts, WalkSevenZip); }
void FuzzCarveRar(ByteSpan input) { Walk(input, RarStarts, WalkRar); }
void FuzzCarvePe(ByteSpan input) { Walk(input, PeStarts, WalkPe); }
void FuzzCarveText(ByteSpan input) { Walk(input, TextStarts, WalkText); }

void FuzzCarveGap(ByteSpan input) {
    // The first four bytes place the gap, the rest is the volume.
    const auto at = read_le16(input, 0), bytes = read_le16(input, 2);
    if (!at || !bytes) return;
    BorrowedVolume volume(input.subspan(4));
    for (WalkResult (*walk)(CarveReader&) : {WalkJpeg, WalkPng, WalkZip}) {
        CarveReader reader(volume, 0, volume.Size());
        reader.SkipAt(*at, *bytes);
        VERANDOL_FUZZ_CHECK(reader.Size() >= 0 && reader.Size() <= volume.Size());
        const WalkResult walked = walk(reader);
        if (!walked) continue;
        VERANDOL_FUZZ_CHECK(walked->length > 0 && walked->length <= reader.Size());
        VERANDOL_FUZZ_CHECK(walked->held_to <= walked->broke_at);
    }
}

void FuzzCarvePass(ByteSpan input) {
    BorrowedVolume volume(input);
    Checked events(volume.Size());
    CarveSetup setup;
    setup.read_bytes = 64 << 10;  // several reads even on a small input
    CarvePass(volume, setup, events);
}

}  // namespace verandol::fuzz
