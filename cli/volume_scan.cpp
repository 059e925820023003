#include "cli/volume_scan.h"

#include <cstdint>
#include <cstdio>
#include <utility>

#include "cli/progress_line.h"
#include "deep/deep_scan.h"
#include "disk/open_volume.h"
#include "naming/carved_row_namer.h"
#include "scan/carved_rows.h"
#include "text/time_left.h"

namespace verandol::cli {

namespace {

class Events final : public ScanEvents {
public:
    Events(const ScanHooks& hooks, ScanOutcome& outcome, bool deep, bool carve)
        : hooks_(hooks), outcome_(outcome), deep_(deep), carve_(carve) {}

    void DiskLabels(const std::string& name_text, const std::string& serial_text) override {
        outcome_.figures.push_back(name_text);
        outcome_.figures.push_back(serial_text);
    }
    void DriveSize(const std::string& text) override { outcome_.figures.push_back(text); }
    void MftLocation(const std::string& text) override { outcome_.figures.push_back(text); }
    void GeometryPublished(const PublishedGeometry& published) override { outcome_.geometry = published; }
    void MftFigures(const std::string& size_text, const std::string& count_text) override {
        outcome_.figures.push_back(size_text);
        outcome_.figures.push_back(count_text);
    }
    void WalkStarting(int progress_max) override {
        total_ = progress_max;
        walked_ = true;
        if (hooks_.walk_starting) hooks_.walk_starting(outcome_.figures);
    }
    void Progress(int position) override {
        if (deep_) return progress_.Update(position, total_, "MiB", time_left_.Text(position, total_));
        progress_.Update(position, total_, "records");
    }
    void Row(DeletedFileRow row) override {
        const Kind kind = row.carved                                             ? Kind::Carved
                          : !row.deleted                                         ? Kind::InUse
                          : row.recoverable == 100                               ? Kind::Recoverable
                          : row.recoverable == DeletedFileRow::kRecoverableUnknown ? Kind::Unchecked
                                                                                 : Kind::Deleted;
        Count(kind, +1);
        ++row_calls_;
        // Only a deep scan withdraws rows; a byte a row is all it needs kept.
        if (deep_) kinds_.push_back(kind);
        if (hooks_.row) hooks_.row(std::move(row));
    }
    void Withdrawn(std::size_t row) override {
        if (row >= kinds_.size() || kinds_[row] == Kind::Withdrawn) return;
        Count(kinds_[row], -1);
        kinds_[row] = Kind::Withdrawn;
        if (hooks_.withdrawn) hooks_.withdrawn(row);
    }
    void Folders(std::vector<std::string> folders) override {
        // Carved rows come after the walk's: the folders wait for them.
        if (carve_) folders_ = std::move(folders);
        else if (hooks_.folders) hooks_.folders(std::move(folders));
    }
    void ClaimedClusters(StretchSet claimed) override { claimed_ = std::move(claimed); }
    // The carve pass over `volume` (but the clusters listed rows name), its
    // rows after the scan's, then every folder.
    // Carved rows are named once the pass is over: index blocks it meets
    // in free clusters may name files it met before them.
    void Carve(ByteSource& volume) {
        total_ = volume.Size() >> 20;
        const std::unique_ptr<CarvedRowNamer> namer = MakeCarvedRowNamer(volume, outcome_.geometry);
        std::vector<DeletedFileRow> rows;
        CarveRowHooks carved;
        carved.row = [&rows](DeletedFileRow row) { rows.push_back(std::move(row)); };
        carved.progress = [this](std::int64_t done, std::int64_t total) {
            progress_.Update(done >> 20, total >> 20, "MiB carved", time_left_.Text(done >> 20, total >> 20));
        };
        carved.unmatched = [&namer](std::int64_t, ByteSpan bytes) { namer->Unmatched(bytes); };
        CarveRows(volume, outcome_.geometry, carved, &claimed_);
        progress_.Clear();
        namer->Name(rows);
        folders_.resize(row_calls_);
        for (DeletedFileRow& row : rows) {
            folders_.push_back(row.folder);
            Row(std::move(row));
        }
        if (hooks_.folders) hooks_.folders(std::move(folders_));
    }
    // The walk began; else the figures are told before the carved rows.
    bool Walked() const { return walked_; }
    void Note(const std::string& text) override {
        progress_.Clear();
        std::fprintf(stderr, "verandol-cli: note: %s\n", text.c_str());
    }
    void Unreadable(const ReadLosses& losses) override {
        Note(ReadLossNote(losses));
        outcome_.losses.push_back(losses);
    }
    bool StopRequested() override { return false; }
    void Ended(ScanEnd end, const std::string& reason) override {
        progress_.Clear();
        outcome_.end = end;
        outcome_.reason = reason;
    }

private:
    enum class Kind : std::uint8_t { Deleted, Recoverable, Unchecked, InUse, Withdrawn, Carved };
    void Count(Kind kind, int step) {
        if (kind == Kind::Carved) outcome_.carved_rows += step;
        if (kind == Kind::InUse) outcome_.in_use_rows += step;
        if (kind == Kind::Deleted || kind == Kind::Recoverable || kind == Kind::Unchecked) outcome_.rows += step;
        if (kind == Kind::Recoverable) outcome_.recoverable_rows += step;
        if (kind == Kind::Unchecked) outcome_.unchecked_rows += step;
    }

    const ScanHooks& hooks_;
    std::vector<Kind> kinds_;
    ScanOutcome& outcome_;
    bool deep_;
    bool carve_;
    bool walked_ = false;
    std::size_t row_calls_ = 0;  // withdrawn rows keep their places
    std::vector<std::string> folders_;
    StretchSet claimed_;
    ProgressLine progress_{"Scanning"};
    TimeLeft time_left_;
    long long total_ = 0;
};

}  // namespace

ScanOutcome RunScan(const std::string& volume_path, const ScanHooks& hooks, const ScanOptions& options, bool deep,
                    bool carve) {
    ScanOutcome outcome;
    Events events(hooks, outcome, deep, carve);
    if (deep) DeepScanVolumePath(volume_path, volume_path, events);
    else ScanVolumePath(volume_path, volume_path, events, options);
    if (!carve) return outcome;
    // A volume that is not NTFS (formatted over, a whole disk) is carved all
    // the same, sector by sector; one that cannot be opened is not.
    const std::string path = outcome.geometry ? outcome.geometry->path : volume_path;
    Outcome<OpenedVolume> opened = OpenVolume(path);
    if (!opened) return outcome;
    if (outcome.end == ScanEnd::Failed && !events.Walked()) {
        events.Note("the volume could not be scanned (" + outcome.reason + "); every sector of it is carved");
        if (!outcome.geometry) outcome.geometry = PublishedGeometry{volume_path, opened->address, {}, {}, std::nullopt};
        outcome.geometry->bitmap.reset();
        if (hooks.walk_starting) hooks.walk_starting(outcome.figures);
        outcome.end = ScanEnd::Completed;
        outcome.reason.clear();
    }
    if (outcome.end == ScanEnd::Completed) events.Carve(*opened->source);
    return outcome;
}

}  // namespace verandol::cli
