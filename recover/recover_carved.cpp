#include "recover/recover_carved.h"

#include "recover/data_writer.h"
#include "recover/temporary_output.h"

namespace verandol {

RecoverResult RecoverCarvedFile(ByteSource& volume, const CarvedExtent& extent, const std::string& output_path,
                                const std::atomic<bool>* stop) {
    // A file found in two pieces is copied piece after piece.
    const CarvedPieces pieces = PiecesOf(extent);
    for (const CarvedPiece& piece : {pieces.first, pieces.second})
        if (piece.position < 0 || piece.length < 0 || piece.position > volume.Size() ||
            piece.length > volume.Size() - piece.position)
            return {RecoverStatus::NotWritten, "the carved bytes lie outside the volume"};
    TemporaryOutput out(output_path);
    if (!out.IsOpen()) return {RecoverStatus::NotWritten, out.Error()};
    DataWriter writer(volume, out, stop);
    const bool ok = writer.CopyFromVolume(pieces.first.position, pieces.first.length) &&
                    writer.CopyFromVolume(pieces.second.position, pieces.second.length);
    if (writer.Stopped()) return {RecoverStatus::NotWritten, "stopped"};
    if (!ok || !out.Resize(extent.length) || !out.Commit()) return {RecoverStatus::NotWritten, out.Error()};
    std::string missing = writer.Missing();
    if (missing.empty() && extent.check == CarveCheck::Incomplete)
        missing = "its content's structure could not be followed to its end";
    return {missing.empty() ? RecoverStatus::Written : RecoverStatus::Incomplete, missing, writer.Unread()};
}

}  // namespace verandol
