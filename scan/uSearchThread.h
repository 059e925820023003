// The search for lost volumes on its own thread: reads a disk end to end
// for NTFS boot sectors, showing its progress and stopping when asked, as
// the scan worker does, and hands what it found to the window's thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <QString>
#include <QThread>

#include "rescue/volume_search.h"

namespace verandol {
class JobControl;
class WindowLink;
}  // namespace verandol

Q_DECLARE_METATYPE(std::vector<verandol::FoundVolume>)

class TSearchThread : public QThread, private verandol::SearchProgress {
    Q_OBJECT
public:
    // `path` is a disk or image, never a volume inside one: the volumes
    // found are addressed by their byte offset on it.
    TSearchThread(std::string path, std::shared_ptr<verandol::WindowLink> link,
                  std::shared_ptr<verandol::JobControl> job);

    void Execute();

signals:
    // The disk is open: the progress runs from 0 to `progress_max` MiB.
    void starting(int progress_max);
    void progress(int position);
    // `found` in the order of their offsets; `failure` says why the search
    // could not be made, empty when it ran (to its end, or until stopped).
    void ended(const std::vector<verandol::FoundVolume>& found, bool stopped, const QString& failure);

protected:
    void run() override { Execute(); }

private:
    void Advance(std::int64_t bytes_done, std::int64_t bytes_total) override;
    bool StopRequested() override;

    std::string path_;
    std::shared_ptr<verandol::WindowLink> link_;
    std::shared_ptr<verandol::JobControl> job_;
    int shown_position_ = -1;
};
