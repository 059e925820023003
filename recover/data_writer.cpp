#include "recover/data_writer.h"

#include <algorithm>

namespace verandol {

bool DataWriter::StopRequested() {
    if (stop_ && stop_->load()) stopped_ = true;
    return stopped_ || Enough();
}

bool DataWriter::CopyFromVolume(std::int64_t position, std::int64_t length) {
    while (length > 0) {
        if (StopRequested()) return false;
        const std::size_t piece =
            static_cast<std::size_t>(std::min<std::int64_t>({length, static_cast<std::int64_t>(kPieceBytes), end_after_ - offset_}));
        // Sized to the largest piece asked for and left uninitialised:
        // clearing 4 MiB for each of many small files would cost more than
        // copying them.
        if (piece > buffer_size_) {
            buffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(piece);
            buffer_size_ = piece;
        }
        std::vector<UnreadRange> lost;
        const std::size_t got = volume_.ReadAround(position, MutableByteSpan(buffer_.get(), piece), lost);
        for (const UnreadRange& r : lost) {
            const UnreadRange in_file{offset_ + (r.position - position), r.length};
            if (!unread_.empty() && unread_.back().End() == in_file.position)
                unread_.back().length += in_file.length;
            else
                unread_.push_back(in_file);
        }
        if (got < piece)
            NoteMissing("the file's clusters run past the end of the volume at byte " +
                        std::to_string(position + static_cast<std::int64_t>(got)));
        if (got > 0 && !out_.WriteAt(offset_, ByteSpan(buffer_.get(), got))) return false;
        offset_ += static_cast<std::int64_t>(piece);
        position += static_cast<std::int64_t>(piece);
        length -= static_cast<std::int64_t>(piece);
    }
    return true;
}

std::string DataWriter::Missing() const {
    if (unread_.empty()) return missing_;
    std::int64_t bytes = 0;
    for (const UnreadRange& r : unread_) bytes += r.length;
    std::string text = std::to_string(bytes) + " bytes could not be read from the device and are zeros (bytes ";
    constexpr std::size_t kShown = 4;
    for (std::size_t i = 0; i < unread_.size() && i < kShown; ++i)
        text.append(i ? ", " : "").append(std::to_string(unread_[i].position)).append("-").append(std::to_string(unread_[i].End() - 1));
    text += unread_.size() > kShown ? ", ...)" : ")";
    return missing_.empty() ? text : missing_ + "; " + text;
}

bool DataWriter::Write(ByteSpan bytes) {
    if (!out_.WriteAt(offset_, bytes)) return false;
    offset_ += static_cast<std::int64_t>(bytes.size());
    return true;
}

}  // namespace verandol
