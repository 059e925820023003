// What the window and one worker thread share of one scan or one recovery.
#pragma once

#include <atomic>

namespace verandol {

// One per job, owned jointly by the window and the worker: a worker that
// outlives its window still reads valid flags, and a new job never inherits
// the stop request of the one before. Each flag has one writer: `running` is
// cleared by the worker, the stop and abandon requests are made by the window.
class JobControl {
public:
    // Created running, before the thread starts: a press in the meantime only
    // stops the job, and no job of the other kind slips in.
    bool Running() const { return running_; }
    // The worker's last step.
    void Finished() { running_ = false; }

    // Asks the worker to stop between records or rows; the one in hand is finished.
    void RequestStop() { stop_ = true; }
    bool StopRequested() const { return stop_; }

    // The window is closing: the worker also gives up the file in hand at its
    // next streamed piece.
    void Abandon() {
        abandon_ = true;
        stop_ = true;
    }
    bool Abandoned() const { return abandon_; }
    const std::atomic<bool>& AbandonFlag() const { return abandon_; }

private:
    std::atomic<bool> running_{true};
    std::atomic<bool> stop_{false};
    std::atomic<bool> abandon_{false};
};

}  // namespace verandol
