// The copy of a failing device into an image file on its own thread, for
// the window: shows its progress, stops when asked (the map is saved, so
// the same copy can go on later) and hands its end to the window's thread,
// as the scan and search workers do.
#pragma once

#include <chrono>
#include <memory>

#include <QString>
#include <QThread>

#include "imaging/image_job.h"

namespace verandol {
class JobControl;
class WindowLink;
}  // namespace verandol

class TImageThread : public QThread {
    Q_OBJECT
public:
    TImageThread(verandol::ImageJobPaths paths, std::shared_ptr<verandol::WindowLink> link,
                 std::shared_ptr<verandol::JobControl> job);

    void Execute();

signals:
    // The copy is open: the progress runs from 0 to `progress_max` MiB.
    void starting(int progress_max);
    // MiB rescued, and the line a person watches (bad areas, rates, time left).
    void progress(int rescued, const QString& text);
    // `failure` says why the copy could not start or go on, empty when it
    // ran (to its end, or until stopped); `unread_bytes` in `unread_areas`
    // are what the map names as not read.
    void ended(bool stopped, const QString& failure, qint64 unread_bytes, int unread_areas, const QString& image,
               const QString& map);

protected:
    void run() override { Execute(); }

private:
    verandol::ImageJobPaths paths_;
    std::shared_ptr<verandol::WindowLink> link_;
    std::shared_ptr<verandol::JobControl> job_;
    std::chrono::steady_clock::time_point last_shown_{};
};
