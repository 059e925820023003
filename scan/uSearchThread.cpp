#include "scan/uSearchThread.h"

#include <algorithm>
#include <climits>
#include <exception>

#include "disk/open_volume.h"
#include "jobs/job_control.h"
#include "jobs/window_link.h"

namespace {

constexpr int kMiBShift = 20;

int MiB(std::int64_t bytes) { return static_cast<int>(std::min<std::int64_t>(bytes >> kMiBShift, INT_MAX)); }

}  // namespace

TSearchThread::TSearchThread(std::string path, std::shared_ptr<verandol::WindowLink> link,
                             std::shared_ptr<verandol::JobControl> job)
    : path_(std::move(path)), link_(std::move(link)), job_(std::move(job)) {
    qRegisterMetaType<std::vector<verandol::FoundVolume>>();
}

void TSearchThread::Execute() {
    std::vector<verandol::FoundVolume> found;
    QString failure;
    try {
        verandol::Outcome<verandol::OpenedDisk> disk = verandol::OpenDisk(path_);
        if (!disk) {
            failure = QString::fromStdString(disk.reason());
        } else {
            emit starting(MiB(disk->bytes->Size()));
            verandol::Outcome<std::vector<verandol::FoundVolume>> searched = verandol::SearchVolumes(*disk->bytes, *this);
            if (searched) found = std::move(*searched);
            else if (!job_->StopRequested()) failure = QString::fromStdString(searched.reason());
        }
    } catch (const std::exception& error) {
        // Nothing may escape a thread body; end as a failed search.
        failure = QString::fromUtf8(error.what());
    }
    const bool stopped = job_->StopRequested();
    verandol::EndJob(link_, *job_, [&] { emit ended(found, stopped, failure); });
}

void TSearchThread::Advance(std::int64_t bytes_done, std::int64_t bytes_total) {
    (void)bytes_total;
    // The window hears of whole MiB only, so a fast disk does not flood it.
    const int position = MiB(bytes_done);
    if (position == shown_position_) return;
    shown_position_ = position;
    emit progress(position);
}

bool TSearchThread::StopRequested() { return job_->StopRequested() || link_->Severed(); }
