#include "recover/data_writer.h"

#include <algorithm>

namespace verandol {

bool DataWriter::StopRequested() {
    if (stop_ && stop_->load()) stopped_ = true;
    return stopped_;
}

bool DataWriter::CopyFromVolume(std::int64_t position, std::int64_t length) {
    while (length > 0) {
        if (StopRequested()) return false;
        const std::size_t piece = static_cast<std::size_t>(std::min<std::int64_t>(length, kPieceBytes));
        // Sized to the largest piece asked for and left uninitialised:
        // clearing 4 MiB for each of many small files would cost more than
        // copying them.
        if (piece > buffer_size_) {
            buffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(piece);
            buffer_size_ = piece;
        }
        const std::size_t got = volume_.ReadAt(position, MutableByteSpan(buffer_.get(), piece));
        if (got < piece)
            NoteMissing("the volume could not deliver the clusters at byte " +
                        std::to_string(position + static_cast<std::int64_t>(got)));
        if (got > 0 && !out_.WriteAt(offset_, ByteSpan(buffer_.get(), got))) return false;
        offset_ += static_cast<std::int64_t>(piece);
        position += static_cast<std::int64_t>(piece);
        length -= static_cast<std::int64_t>(piece);
    }
    return true;
}

bool DataWriter::Write(ByteSpan bytes) {
    if (!out_.WriteAt(offset_, bytes)) return false;
    offset_ += static_cast<std::int64_t>(bytes.size());
    return true;
}

}  // namespace verandol
