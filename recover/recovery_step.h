// One recovery, row after row: the step the command line and the window's
// worker share, from a listed row to a file in the output folder.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "carve/carve_check.h"
#include "disk/found_geometry.h"
#include "disk/published_geometry.h"
#include "recover/kept_folders.h"
#include "recover/recover_file.h"
#include "recover/recovery_report.h"
#include "recover/unique_paths.h"

namespace verandol {

// How a recovered file is named in the output folder.
enum class OutputNaming {
    OwnName,      // after the deleted file
    RowIndex,     // "File_" and the row's number
    KeptFolders,  // after the file, in its folder path below the output folder
};

// What the step needs of one listed row.
struct RecoveryRequest {
    std::string position_text;  // the record position, as listed (or as edited)
    std::string name;           // the file's name
    std::string folder;         // its folder on the volume, for kept folders
    int index = 0;              // its row number, for "File_" names and nameless files
    // Set for a record the deep scan found: the geometry of the volume it
    // belongs to, and its position is a byte offset within the volume.
    const FoundGeometry* found = nullptr;
    // Set for a file the carve pass found: its bytes and its content's
    // verdict; its position is its first byte's.
    const CarvedExtent* carved = nullptr;
    // The "File Type" cell: what a file with no name is written with after
    // its "File_" name, when its content told it.
    std::string type{};
    // A folder below the output folder to put the file in whatever the
    // naming ("Photos" for a carved photo with no folder of its own);
    // empty for none.
    std::string type_folder{};
};

struct RecoveryStepResult {
    RecoverStatus status = RecoverStatus::NotWritten;
    std::string path;    // where the file went, unless NotWritten
    std::string reason;  // why not written, or what is missing
    // Given up because `stop` was raised: not a failure to report.
    bool stopped = false;
    // Bytes of the file the device could not deliver (zeros in it).
    std::vector<UnreadRange> unread{};
    // A carved file's verdict: a written one is reported "verified" or
    // "complete" rather than "written".
    std::optional<CarveCheck> carved{};
};

// One report line: "written" (a carved file: "verified" or "complete") and the path, "incomplete" or "unchecked" with
// the path and why, or "failed" and why; `asked` names the row.
std::vector<std::string> ReportLine(std::string_view asked, const RecoveryStepResult& result);

class RecoveryRun {
public:
    // `source` is what the scan learnt of the volume. `stop`, when given, is
    // polled while a file streams. With `check_output_device`, every output
    // folder is refused as it first comes if it lies on the scanned volume.
    RecoveryRun(PublishedGeometry source, const std::atomic<bool>* stop, bool check_output_device);

    // Names the row's file, never after a file written earlier in this run
    // (" (n)" is added instead; a file that was in the folder before is
    // replaced), and recovers it. Counted in the totals unless stopped.
    RecoveryStepResult Recover(const RecoveryRequest& row, const std::string& out_dir, OutputNaming naming);
    // Whether the files get their modification and access times from their
    // records (the default) or keep the time they were written. The folders
    // made for kept paths keep their own times either way.
    void KeepFileTimes(bool keep) { keep_times_ = keep; }

    int Recovered() const { return recovered_; }
    int Incomplete() const { return incomplete_; }
    // Files written with bytes the device could not deliver, and those bytes.
    int UnreadFiles() const { return unread_files_; }
    std::int64_t UnreadBytes() const { return unread_bytes_; }
    int Unchecked() const { return unchecked_; }
    const std::vector<RecoveryFailure>& Failures() const { return failures_; }

private:
    RecoveryStepResult Attempt(const RecoveryRequest& row, const std::string& out_dir, OutputNaming naming);
    Outcome<std::string> OutputFor(const RecoveryRequest& row, const std::string& out_dir, OutputNaming naming);
    // The row's file name before it is made safe: its own, or File_N and
    // its type for a nameless one.
    std::string NameFor(const RecoveryRequest& row, const std::string& out_dir);

    PublishedGeometry source_;
    // Opened at the first deep-found or carved row; those are all read from one handle.
    std::unique_ptr<ByteSource> deep_volume_;
    const std::atomic<bool>* stop_;
    bool check_output_device_;
    bool keep_times_ = true;
    UniquePaths paths_;
    int unread_files_ = 0;
    std::int64_t unread_bytes_ = 0;
    std::map<std::string, KeptFolders> kept_;  // by output folder
    std::map<std::string, bool> colon_folders_;  // whether each output folder takes colons
    // The last folder checked against the volume, and its refusal (empty when fine).
    std::optional<std::string> checked_folder_;
    std::string folder_refusal_;
    int recovered_ = 0;
    int incomplete_ = 0;
    int unchecked_ = 0;
    std::vector<RecoveryFailure> failures_;
};

}  // namespace verandol
