#include "scan/uScanThread.h"

#include <algorithm>

#include "disk/open_volume.h"
#include "jobs/job_control.h"
#include "jobs/window_link.h"
#include "scan/carved_rows.h"

namespace {

// Rows and progress cross to the window at most this often, or when a batch
// is full, so 200,000 rows do not mean 200,000 waits on the window. Each
// batch also costs the list view one layout of all its rows, so a batch may
// grow large: batches of 1,024 made the window's scan four times the engine's.
constexpr auto kPublishInterval = std::chrono::milliseconds(50);
constexpr std::size_t kMaxBatch = 32768;

QString Text(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

TScanThread::TScanThread(std::string drive_name, std::string path, verandol::DeletedFileList* list,
                         std::shared_ptr<verandol::WindowLink> link, std::shared_ptr<verandol::JobControl> job,
                         verandol::ScanOptions options, bool carve)
    : drive_name_(std::move(drive_name)),
      path_(std::move(path)),
      list_(list),
      link_(std::move(link)),
      job_(std::move(job)),
      options_(options),
      carve_(carve) {
    qRegisterMetaType<verandol::PublishedGeometry>();
}

TScanThread::TScanThread(ScanPass pass, verandol::DeletedFileList* list, std::shared_ptr<verandol::WindowLink> link,
                         std::shared_ptr<verandol::JobControl> job)
    : list_(list), link_(std::move(link)), job_(std::move(job)), pass_(std::move(pass)) {
    qRegisterMetaType<verandol::PublishedGeometry>();
}

void TScanThread::Execute() {
    try {
        if (pass_) pass_(*this);
        else verandol::ScanVolumePath(drive_name_, path_, *this, options_);
        if (carve_ && (walk_completed_ || (scan_failure_ && !walk_started_))) CarveFreeSpace();
    } catch (const std::exception& error) {
        // Nothing may escape a thread body; end as a failed scan does.
        try {
            Publish();
        } catch (const std::exception&) {
            // The window could not take the last rows; the failure below says why.
        }
        restore_buttons_ = walk_started_;
        failure_ = QString::fromUtf8(error.what());
    }
    verandol::EndJob(link_, *job_, [this] { emit ended(restore_buttons_, failure_); });
}

void TScanThread::DiskLabels(const std::string& name_text, const std::string& serial_text) {
    emit diskLabels(Text(name_text), Text(serial_text));
}

void TScanThread::DriveSize(const std::string& text) { emit driveSize(Text(text)); }

void TScanThread::MftLocation(const std::string& text) { emit mftLocation(Text(text)); }

void TScanThread::Note(const std::string& text) { emit note(Text(text)); }

void TScanThread::Unreadable(const verandol::ReadLosses& losses) { emit unreadable(Text(verandol::ReadLossNote(losses))); }

void TScanThread::GeometryPublished(const verandol::PublishedGeometry& published) {
    published_ = published;
    emit geometryPublished(published);
}

void TScanThread::MftFigures(const std::string& size_text, const std::string& count_text) {
    emit mftFigures(Text(size_text), Text(count_text));
}

void TScanThread::WalkStarting(int progress_max) {
    walk_started_ = true;
    // The window clears its list: ordinals count afresh.
    rows_told_ = 0;
    position_ = 0;
    shown_position_ = 0;
    // The first row is shown at once; later ones gather into batches.
    last_publish_ = {};
    emit walkStarting(progress_max);
}

void TScanThread::Progress(int position) {
    position_ = position;
    if (PublishDue()) Publish();
}

void TScanThread::Row(verandol::DeletedFileRow row) {
    ++rows_told_;
    pending_.push_back(std::move(row));
    if (pending_.size() >= kMaxBatch || PublishDue()) Publish();
}

void TScanThread::ClaimedClusters(verandol::StretchSet claimed) { claimed_ = std::move(claimed); }

void TScanThread::Folders(std::vector<std::string> folders) {
    // Every row is in the list before its folder arrives.
    Publish();
    if (window_gone_) return;
    window_gone_ = !verandol::CallOnWindowThread(link_, [this, &folders] {
        list_->SetFolders(std::move(folders));
        if (!withdrawn_.empty()) list_->WithdrawRows(std::move(withdrawn_));
    });
}

void TScanThread::Withdrawn(std::size_t row) { withdrawn_.push_back(static_cast<std::uint32_t>(row)); }

bool TScanThread::PublishDue() const {
    return std::chrono::steady_clock::now() - last_publish_ >= kPublishInterval;
}

bool TScanThread::StopRequested() {
    if (!job_->StopRequested() && !window_gone_) return false;
    // The rows found before the stop belong in the list.
    Publish();
    return true;
}

void TScanThread::Ended(verandol::ScanEnd end, const std::string& reason) {
    Publish();
    const bool failed = end == verandol::ScanEnd::Failed;
    // A failure always says why, or a person would read it as "no deleted files".
    const std::string why = reason.empty() ? std::string("the volume could not be read") : reason;
    restore_buttons_ = !failed || walk_started_;
    failure_ = failed ? Text(why) : QString();
    walk_completed_ = end == verandol::ScanEnd::Completed && walk_started_;
    if (failed) scan_failure_ = why;
}

void TScanThread::CarveFreeSpace() {
    if (window_gone_ || job_->StopRequested()) return;
    // Opened afresh, read-only like the walk's handle: the walk has let go of its own.
    verandol::Outcome<verandol::OpenedVolume> opened = verandol::OpenVolume(published_ ? published_->path : path_);
    if (!opened) {
        // A scan that failed keeps its own reason.
        if (!scan_failure_) emit note(Text("the free space could not be carved: " + opened.reason()));
        return;
    }
    if (!walk_started_) {
        // Not NTFS, or no MFT to walk (formatted over, damaged): every sector
        // is carved, none marked in use, and the rows are recovered from
        // this volume.
        Note("the volume could not be scanned (" + *scan_failure_ + "); every sector of it is carved");
        if (!published_) published_ = verandol::PublishedGeometry{drive_name_, opened->address, {}, {}, std::nullopt};
        published_->bitmap.reset();
        emit geometryPublished(*published_);
        WalkStarting(0);
        restore_buttons_ = true;
        failure_.clear();
    }
    const int total_mib = static_cast<int>(std::max<std::int64_t>(1, opened->source->Size() >> 20));
    emit carveStarting(total_mib);
    // The carved rows follow the walk's; the first is shown at once.
    last_publish_ = {};
    int shown = -1;
    const std::unique_ptr<verandol::CarvedRowNamer> namer =
        MakeNamer ? MakeNamer(*opened->source, published_) : nullptr;
    // Each carved row as shown, and its ordinal, for naming once the pass is over.
    std::vector<verandol::DeletedFileRow> carved;
    std::vector<std::uint32_t> carved_ordinals;
    verandol::CarveRowHooks hooks;
    hooks.row = [&](verandol::DeletedFileRow row) {
        if (namer) {
            carved_ordinals.push_back(rows_told_);
            carved.push_back(row);
        }
        Row(std::move(row));
    };
    if (namer) hooks.unmatched = [&namer](std::int64_t, verandol::ByteSpan bytes) { namer->Unmatched(bytes); };
    hooks.stop = [this] { return StopRequested(); };
    hooks.progress = [&](std::int64_t done, std::int64_t of) {
        // The pass counts what it searches; the bar, the whole volume.
        const int position = of > 0 ? static_cast<int>(static_cast<double>(done) / static_cast<double>(of) *
                                                       total_mib)
                                    : 0;
        // The window's progress text tells the pace and the time left.
        if (position == shown) return;
        shown = position;
        emit carveProgress(position);
    };
    verandol::CarveRows(*opened->source, published_, hooks, &claimed_);
    Publish();
    if (namer && !carved.empty() && !StopRequested()) NameCarvedRows(*namer, std::move(carved), carved_ordinals);
}

void TScanThread::NameCarvedRows(verandol::CarvedRowNamer& namer, std::vector<verandol::DeletedFileRow> carved,
                                 const std::vector<std::uint32_t>& ordinals) {
    // The rows stream as the pass finds them, under the names made from
    // where they lie; those the volume or their content can name are
    // renamed where they stand, keeping their place and tick.
    namer.Name(carved);
    std::vector<std::uint32_t> places;
    std::vector<verandol::DeletedFileRow> renamed;
    for (std::size_t i = 0; i < carved.size() && i < ordinals.size(); ++i) {
        if (carved[i].named_from == "cluster") continue;
        places.push_back(ordinals[i]);
        renamed.push_back(std::move(carved[i]));
    }
    Publish();
    if (renamed.empty() || window_gone_) return;
    window_gone_ = !verandol::CallOnWindowThread(
        link_, [this, &places, &renamed] { list_->RenameRows(std::move(places), std::move(renamed)); });
}

void TScanThread::Publish() {
    if (!pending_.empty() && !window_gone_) {
        std::vector<verandol::DeletedFileRow> batch;
        batch.swap(pending_);
        // The worker waits for the append, so rows land in record order.
        window_gone_ = !verandol::CallOnWindowThread(
            link_, [this, &batch] { list_->AddDeletedFileRow(std::move(batch)); });
    }
    if (walk_started_ && position_ != shown_position_) {
        shown_position_ = position_;
        emit progress(position_);
    }
    last_publish_ = std::chrono::steady_clock::now();
}
