#include "recover/recover_carved.h"

#include "recover/data_writer.h"
#include "recover/temporary_output.h"

namespace verandol {

RecoverResult RecoverCarvedFile(ByteSource& volume, const CarvedExtent& extent, const std::string& output_path,
                                const std::atomic<bool>* stop) {
    if (extent.position < 0 || extent.length < 0 || extent.position > volume.Size() ||
        extent.length > volume.Size() - extent.position)
        return {RecoverStatus::NotWritten, "the carved bytes lie outside the volume"};
    TemporaryOutput out(output_path);
    if (!out.IsOpen()) return {RecoverStatus::NotWritten, out.Error()};
    DataWriter writer(volume, out, stop);
    const bool ok = writer.CopyFromVolume(extent.position, extent.length);
    if (writer.Stopped()) return {RecoverStatus::NotWritten, "stopped"};
    if (!ok || !out.Resize(extent.length) || !out.Commit()) return {RecoverStatus::NotWritten, out.Error()};
    std::string missing = writer.Missing();
    if (missing.empty() && extent.check == CarveCheck::Incomplete)
        missing = "its content's structure could not be followed to its end";
    return {missing.empty() ? RecoverStatus::Written : RecoverStatus::Incomplete, missing, writer.Unread()};
}

}  // namespace verandol
