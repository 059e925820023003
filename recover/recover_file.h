// Copying one deleted file's data out of its record into a new file.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "disk/found_geometry.h"
#include "ntfs/cluster_bitmap.h"
#include "ntfs/geometry.h"
#include "ntfs/run_list.h"
#include "ntfs/byte_source.h"

namespace verandol {

enum class RecoverStatus {
    Written,     // every byte came from the volume (or is a hole the file really has)
    Incomplete,  // written, but some clusters could not be read and are zeros
    // Written from the clusters its record names, but nothing could check
    // them against an allocation bitmap: they may hold a later file's bytes.
    Unchecked,
    NotWritten,  // nothing was written; an existing file of that name is untouched
};

struct RecoverResult {
    RecoverStatus status = RecoverStatus::NotWritten;
    std::string reason;  // why not written, or which part is missing
    // Bytes of the file (from its start) the device could not deliver;
    // zeros in the written file.
    std::vector<UnreadRange> unread{};
};

// Reads the record at the row's position text ("0x" and hexadecimal), checks
// that it is a deleted file, and streams its data (resident, or along its run
// list) into `output_path`. `mft_runs` is the MFT's map from the scan (record
// 0's runs): a position inside it is read through it, so a record that
// straddles two extents is read whole, and an attribute list's extension
// records can be found; with an empty map the record is read as one stretch.
// Data that is compressed is decompressed; bytes past the initialized size
// are zeros; an encrypted file is not written. The data goes to a temporary file in the same
// folder that replaces `output_path` only once every byte is written and
// closed. `stop`, when given, is polled between streamed pieces; a stop
// removes the temporary file and reports NotWritten. With the scan's
// `bitmap`, a file some of whose clusters other files now use is reported
// Incomplete (it is still written); with `bitmap_required`, a deleted file
// with clusters that no bitmap judged (none given, or it cannot answer) is
// Unchecked. With `in_use_too` a file still in use is copied out as well;
// the bitmap is not asked about its clusters. With `keep_times` the file gets
// the modification and access times its record holds.
RecoverResult RecoverFile(ByteSource& volume, std::string_view position_text, const VolumeGeometry& geometry,
                          const std::vector<Run>& mft_runs, const std::string& output_path,
                          const std::atomic<bool>* stop = nullptr, const BitmapExtent* bitmap = nullptr,
                          bool in_use_too = false, bool bitmap_required = false, bool keep_times = true);

// The same for a record the deep scan found at the position within `volume`,
// read with the geometry of the volume it belongs to (`found`), whose run
// lists count clusters from found.origin on. A record that volume still had
// in use is recovered too. The bitmap that judged the row (found.judge)
// judges the clusters the file names: any that later files took make it
// Incomplete, and a file no bitmap could judge is Unchecked. A file whose
// data lies in clusters is not written when nothing placed its volume.
RecoverResult RecoverFoundFile(ByteSource& volume, std::string_view position_text, const FoundGeometry& found,
                               const std::string& output_path, const std::atomic<bool>* stop,
                               bool keep_times = true);

// Opens the volume read-only for the one call.
RecoverResult RecoverFile(const std::string& volume_path, std::string_view position_text,
                          const VolumeGeometry& geometry, const std::vector<Run>& mft_runs,
                          const std::string& output_path, const std::atomic<bool>* stop = nullptr,
                          const BitmapExtent* bitmap = nullptr, bool in_use_too = false,
                          bool bitmap_required = false, bool keep_times = true);

}  // namespace verandol
