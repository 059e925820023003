#include "cli/volume_scan.h"

#include <cstdint>
#include <cstdio>
#include <utility>

#include "cli/progress_line.h"
#include "deep/deep_scan.h"
#include "text/time_left.h"

namespace verandol::cli {

namespace {

class Events final : public ScanEvents {
public:
    Events(const ScanHooks& hooks, ScanOutcome& outcome, bool deep) : hooks_(hooks), outcome_(outcome), deep_(deep) {}

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
        if (hooks_.walk_starting) hooks_.walk_starting(outcome_.figures);
    }
    void Progress(int position) override {
        if (deep_) return progress_.Update(position, total_, "MiB", time_left_.Text(position, total_));
        progress_.Update(position, total_, "records");
    }
    void Row(DeletedFileRow row) override {
        const Kind kind = !row.deleted                                           ? Kind::InUse
                          : row.recoverable == 100                               ? Kind::Recoverable
                          : row.recoverable == DeletedFileRow::kRecoverableUnknown ? Kind::Unchecked
                                                                                 : Kind::Deleted;
        Count(kind, +1);
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
        if (hooks_.folders) hooks_.folders(std::move(folders));
    }
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
    enum class Kind : std::uint8_t { Deleted, Recoverable, Unchecked, InUse, Withdrawn };
    void Count(Kind kind, int step) {
        if (kind == Kind::InUse) outcome_.in_use_rows += step;
        if (kind == Kind::Deleted || kind == Kind::Recoverable || kind == Kind::Unchecked) outcome_.rows += step;
        if (kind == Kind::Recoverable) outcome_.recoverable_rows += step;
        if (kind == Kind::Unchecked) outcome_.unchecked_rows += step;
    }

    const ScanHooks& hooks_;
    std::vector<Kind> kinds_;
    ScanOutcome& outcome_;
    bool deep_;
    ProgressLine progress_{"Scanning"};
    TimeLeft time_left_;
    long long total_ = 0;
};

}  // namespace

ScanOutcome RunScan(const std::string& volume_path, const ScanHooks& hooks, const ScanOptions& options, bool deep) {
    ScanOutcome outcome;
    Events events(hooks, outcome, deep);
    if (deep) DeepScanVolumePath(volume_path, volume_path, events);
    else ScanVolumePath(volume_path, volume_path, events, options);
    return outcome;
}

}  // namespace verandol::cli
