// Keeps everything a scan reports, for callers that look at a whole scan
// once it has ended rather than as it goes: the tests and the fuzzers.
#pragma once

#include <functional>
#include <vector>

#include "scan/scan_volume.h"

namespace verandol {

struct ScanCollector : ScanEvents {
    std::vector<std::string> texts;  // every label text, in order
    std::optional<PublishedGeometry> published;
    int progress_max = -1;
    int last_progress = 0;
    int progress_calls = 0;
    std::vector<DeletedFileRow> rows;
    int folder_calls = 0;
    std::optional<ScanEnd> end;
    std::string reason;
    std::function<bool(const ScanCollector&)> stop_when = [](const ScanCollector&) { return false; };

    void DiskLabels(const std::string& n, const std::string& s) override { texts.insert(texts.end(), {n, s}); }
    void DriveSize(const std::string& t) override { texts.push_back(t); }
    void MftLocation(const std::string& t) override { texts.push_back(t); }
    void GeometryPublished(const PublishedGeometry& p) override { published = p; }
    void MftFigures(const std::string& s, const std::string& c) override { texts.insert(texts.end(), {s, c}); }
    void WalkStarting(int max) override { progress_max = max; }
    void Progress(int position) override {
        last_progress = position;
        ++progress_calls;
    }
    void Row(DeletedFileRow row) override { rows.push_back(std::move(row)); }
    void Folders(std::vector<std::string> folders) override {
        folder_calls++;
        for (std::size_t i = 0; i < rows.size() && i < folders.size(); ++i) rows[i].folder = std::move(folders[i]);
    }
    // Withdrawn rows leave `rows` when the scan ends, once their places
    // have taken their folders.
    void Withdrawn(std::size_t row) override { withdrawn.push_back(row); }
    std::vector<ReadLosses> losses;
    void Unreadable(const ReadLosses& l) override { losses.push_back(l); }
    bool StopRequested() override { return stop_when(*this); }
    void Ended(ScanEnd e, const std::string& r) override {
        end = e;
        reason = r;
        std::vector<bool> gone(rows.size());
        for (std::size_t row : withdrawn)
            if (row < gone.size()) gone[row] = true;
        std::size_t kept = 0;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (gone[i]) continue;
            if (kept != i) rows[kept] = std::move(rows[i]);  // a string moved onto itself comes out empty
            ++kept;
        }
        rows.resize(kept);
    }
    std::vector<std::size_t> withdrawn;  // in the order they came
};

}  // namespace verandol
