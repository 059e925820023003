#include "imaging/uImageThread.h"

#include <algorithm>
#include <climits>
#include <exception>

#include "imaging/copy_progress_text.h"
#include "jobs/job_control.h"
#include "jobs/window_link.h"
#include "reading/careful_source.h"

namespace {

int MiB(std::int64_t bytes) { return static_cast<int>(std::min<std::int64_t>(bytes >> 20, INT_MAX)); }

// The window hears of the copy this often at most, so a fast device does
// not flood it.
constexpr auto kShowEvery = std::chrono::milliseconds(200);

}  // namespace

TImageThread::TImageThread(verandol::ImageJobPaths paths, std::shared_ptr<verandol::WindowLink> link,
                           std::shared_ptr<verandol::JobControl> job)
    : paths_(std::move(paths)), link_(std::move(link)), job_(std::move(job)) {}

void TImageThread::Execute() {
    QString failure;
    verandol::ImageJobEnd end;
    QString map_path;
    try {
        auto opened = verandol::ImageJob::Open(paths_, "verandol (window)", verandol::RunReadPolicy().retries);
        if (!opened) {
            failure = QString::fromStdString(opened.reason());
        } else {
            map_path = QString::fromStdString((*opened)->Paths().map);
            emit starting(MiB((*opened)->Map().Size()));
            verandol::CopyPace pace;
            end = (*opened)->Run([&] { return job_->StopRequested() || link_->Severed(); },
                                 [&](const verandol::ImageJob& running) {
                                     const auto now = std::chrono::steady_clock::now();
                                     pace.Sample(running.Copy().BytesRead(), now);
                                     if (now - last_shown_ < kShowEvery) return;
                                     last_shown_ = now;
                                     const auto since_good = std::chrono::duration_cast<std::chrono::seconds>(
                                         now - running.Copy().LastGoodRead());
                                     emit progress(MiB(running.Map().BytesWith(verandol::AreaStatus::Finished)),
                                                   QString::fromStdString(
                                                       verandol::CopyProgressText(running.Map(), pace, since_good)));
                                 });
            if (end.end == verandol::CopyEnd::WriteFailed) failure = QString::fromStdString(end.failure);
        }
    } catch (const std::exception& error) {
        // Nothing may escape a thread body; end as a failed copy.
        failure = QString::fromUtf8(error.what());
    }
    qint64 unread_bytes = 0;
    for (const verandol::UnreadRange& stretch : end.unread) unread_bytes += stretch.length;
    const bool stopped = end.end == verandol::CopyEnd::Stopped;
    const QString image = QString::fromStdString(paths_.image);
    verandol::EndJob(link_, *job_, [&] {
        emit ended(stopped, failure, unread_bytes, static_cast<int>(end.unread.size()), image, map_path);
    });
}
