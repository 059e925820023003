// The scan: volume figures, the MFT's extent, and the walk that lists every
// record that is neither in use nor a directory.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ntfs/cluster_bitmap.h"
#include "ntfs/geometry.h"
#include "ntfs/run_list.h"
#include "disk/published_geometry.h"
#include "ntfs/byte_source.h"
#include "scan/deleted_file_row.h"
#include "reading/stretch_set.h"
#include "scan/read_losses.h"

namespace verandol {

enum class ScanEnd { Completed, Stopped, Failed };

// What a scan reports, in this order. The window's worker turns each call into
// a change on the window's thread; the command-line tool prints them.
class ScanEvents {
public:
    virtual ~ScanEvents() = default;
    // "Disk Name: ..." and "Disk Serial: ...", before the identifier is checked.
    virtual void DiskLabels(const std::string& name_text, const std::string& serial_text) = 0;
    // "Drive Size: ... KB".
    virtual void DriveSize(const std::string& text) = 0;
    // "MFT Location: 0x...".
    virtual void MftLocation(const std::string& text) = 0;
    // From here on a recovery uses this scan's geometry, even if the scan
    // fails at its next steps. Published again, with the MFT's map and the
    // cluster bitmap, once record 0 has been read.
    virtual void GeometryPublished(const PublishedGeometry& published) = 0;
    // "MFT Size: ... KB" and "All Files: ...".
    virtual void MftFigures(const std::string& size_text, const std::string& count_text) = 0;
    // The walk begins: empty the list, set the progress range to
    // 0..progress_max at position 0, turn the scan button into a stop button
    // and disable recovery.
    virtual void WalkStarting(int progress_max) = 0;
    // The progress position after advancing by one for a record.
    virtual void Progress(int position) = 0;
    // One deleted file, in record order. Its folder is not known yet.
    virtual void Row(DeletedFileRow row) = 0;
    // After the walk (also a stopped one), the folders of every row
    // delivered, one per row in the order of the Row calls. A folder's
    // record may come after its files' records, so this cannot come sooner.
    virtual void Folders(std::vector<std::string> folders) { (void)folders; }
    // Just before Folders: the volume bytes of the clusters the listed
    // deleted files name, which a carve pass after the walk need not search.
    virtual void ClaimedClusters(StretchSet claimed) { (void)claimed; }
    // A row delivered earlier, by its place in the order of the Row calls,
    // is not to be listed after all: the deep scan met a newer copy of the
    // same file's record later on the volume. The place still gets its
    // folder in Folders, so the places of the other rows do not move.
    virtual void Withdrawn(std::size_t row) { (void)row; }
    // Something a person should know about how the volume was read, such as
    // a damaged boot sector replaced by its backup copy.
    virtual void Note(const std::string& text) { (void)text; }
    // What the device could not deliver to this pass and what was lost
    // with it; once, before Ended, and only when something could not be
    // read. Told as a note unless the receiver does more with it.
    virtual void Unreadable(const ReadLosses& losses) { Note(ReadLossNote(losses)); }
    // Polled before each record.
    virtual bool StopRequested() = 0;
    // The last call. `reason` says why a failed scan could not go on.
    virtual void Ended(ScanEnd end, const std::string& reason) = 0;
};

struct ScanOptions {
    // Also list the files still in use (their rows say deleted = false), so
    // the files of a damaged or found volume can be copied out.
    bool in_use_too = false;
};

// Scans an opened volume. `drive_name` and `path` only label what is published.
void ScanVolume(ByteSource& volume, const std::string& drive_name, const std::string& path,
                ScanEvents& events, const ScanOptions& options = {});

// Opens the volume address `path` ("/dev/sdb1", "disk.img@2") read-only and
// scans it; an open failure ends with Failed.
void ScanVolumePath(const std::string& drive_name, const std::string& path, ScanEvents& events,
                    const ScanOptions& options = {});

}  // namespace verandol
