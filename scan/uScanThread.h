// The scan worker: runs the engine's scan on its own thread and hands every
// change to the window's thread.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QString>
#include <QThread>

#include "scan/carved_rows.h"
#include "scan/deleted_file_list.h"
#include "scan/deleted_file_row.h"
#include "scan/scan_volume.h"
#include "reading/stretch_set.h"

namespace verandol {
class JobControl;
class WindowLink;
}  // namespace verandol

Q_DECLARE_METATYPE(verandol::PublishedGeometry)

class TScanThread : public QThread, private verandol::ScanEvents {
    Q_OBJECT
public:
    // Another pass over a volume that reports as the scan does (the deep
    // scan): given the events to report through, it runs to its end.
    using ScanPass = std::function<void(verandol::ScanEvents& events)>;

    // `list` is only touched inside calls `link` runs on the window's thread.
    TScanThread(std::string drive_name, std::string path, verandol::DeletedFileList* list,
                std::shared_ptr<verandol::WindowLink> link, std::shared_ptr<verandol::JobControl> job,
                verandol::ScanOptions options = {}, bool carve = false);
    // Runs `pass` instead of the walk of the MFT, with the same contract.
    TScanThread(ScanPass pass, verandol::DeletedFileList* list, std::shared_ptr<verandol::WindowLink> link,
                std::shared_ptr<verandol::JobControl> job);

    void Execute();

    // Names the carved rows once the carve pass is over; without it they
    // keep the names made from where they lie. Set before the thread starts.
    verandol::CarvedRowNamers MakeNamer;

signals:
    void diskLabels(const QString& name, const QString& serial);
    void driveSize(const QString& text);
    void mftLocation(const QString& text);
    void geometryPublished(const verandol::PublishedGeometry& published);
    void mftFigures(const QString& size_text, const QString& count_text);
    void walkStarting(int progress_max);
    void progress(int position);
    // How the volume was read, when a person should know (a backup boot sector).
    void note(const QString& text);
    // What the device could not deliver to the scan and what was lost with
    // it, once, before `ended`.
    void unreadable(const QString& text);
    // `restore_buttons`: the walk had begun, so "Scan Now" and btnRecover come
    // back. `failure`: why the scan could not go on; empty unless it failed.
    void ended(bool restore_buttons, const QString& failure);
    // After the walk, when asked: the carve pass over the free clusters
    // begins, its progress counted in MiB up to `progress_max`; then its
    // position, whose pace the window tells.
    void carveStarting(int progress_max);
    void carveProgress(int position);

protected:
    void run() override { Execute(); }

private:
    void DiskLabels(const std::string& name_text, const std::string& serial_text) override;
    void DriveSize(const std::string& text) override;
    void MftLocation(const std::string& text) override;
    void GeometryPublished(const verandol::PublishedGeometry& published) override;
    void MftFigures(const std::string& size_text, const std::string& count_text) override;
    void WalkStarting(int progress_max) override;
    void Progress(int position) override;
    void Row(verandol::DeletedFileRow row) override;
    void ClaimedClusters(verandol::StretchSet claimed) override;
    void Folders(std::vector<std::string> folders) override;
    void Withdrawn(std::size_t row) override;
    void Note(const std::string& text) override;
    void Unreadable(const verandol::ReadLosses& losses) override;
    bool StopRequested() override;
    void Ended(verandol::ScanEnd end, const std::string& reason) override;

    // Searches the scanned volume's free clusters for files by their
    // content once the walk has completed; rows stream as they are found.
    void CarveFreeSpace();
    // Names the carved rows told at `ordinals` and puts the renamed ones in
    // place of the first.
    void NameCarvedRows(verandol::CarvedRowNamer& namer, std::vector<verandol::DeletedFileRow> carved,
                        const std::vector<std::uint32_t>& ordinals);
    // Appends the rows found so far and shows the latest progress.
    void Publish();
    bool PublishDue() const;

    std::string drive_name_;
    std::string path_;
    verandol::DeletedFileList* list_;
    std::shared_ptr<verandol::WindowLink> link_;
    std::shared_ptr<verandol::JobControl> job_;
    verandol::ScanOptions options_;
    ScanPass pass_;  // empty for the walk of the MFT
    bool carve_ = false;
    // What the carve pass needs of the walk: the volume as published, the
    // clusters listed rows already name, and whether the walk completed.
    std::optional<verandol::PublishedGeometry> published_;
    verandol::StretchSet claimed_;
    bool walk_completed_ = false;
    // Why the scan failed, when it did; the carve pass then reads every sector.
    std::optional<std::string> scan_failure_;

    std::vector<verandol::DeletedFileRow> pending_;
    // Rows handed to the list since the walk began: the next row's ordinal.
    std::uint32_t rows_told_ = 0;
    // Rows to take out of the list once their folders are in.
    std::vector<std::uint32_t> withdrawn_;
    int position_ = 0;
    int shown_position_ = -1;
    bool walk_started_ = false;
    bool window_gone_ = false;
    // What `ended` will say, once the job is over.
    bool restore_buttons_ = false;
    QString failure_;
    std::chrono::steady_clock::time_point last_publish_{};
};
