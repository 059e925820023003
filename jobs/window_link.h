// The one way a worker thread reaches the window and waits for it.
#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

#include "jobs/job_control.h"

class QObject;
class QThread;

namespace verandol {

// Shared by the window and its workers. A call runs on the window's thread
// while the worker waits. Once the window closes it severs the link: a call
// still queued is dropped and its worker released, and later calls return at
// once, so a worker can never block on, or touch, a window that is gone.
class WindowLink : public std::enable_shared_from_this<WindowLink> {
public:
    static std::shared_ptr<WindowLink> Create(QObject* window);

    // Runs `f` on the window's thread and waits for it; directly when already
    // there. False when the window has closed and `f` did not run. What `f`
    // throws is thrown here, on the caller's thread, where the worker can
    // end as a failure: thrown into the event loop it would end the program
    // and leave the worker waiting.
    bool Call(std::function<void()> f);

    // Window thread only, as the window closes.
    void Sever();
    bool Severed() const;

private:
    explicit WindowLink(QObject* window);

    QObject* window_;
    QThread* window_thread_;
    mutable std::mutex mutex_;
    std::condition_variable finished_;
    bool severed_ = false;
};

// The calling convention the workers use.
inline bool CallOnWindowThread(const std::shared_ptr<WindowLink>& link, std::function<void()> f) {
    return link->Call(std::move(f));
}

// A worker's last step: the job stops running and `announce` (which emits
// the worker's end) runs in one call on the window's thread. Were the end
// emitted first, the window would restore its buttons while the job still
// ran, and a press in between would only stop a job that is already over;
// were the job finished first, a press could start the next job before the
// old end arrived and undid its captions.
inline void EndJob(const std::shared_ptr<WindowLink>& link, JobControl& job, const std::function<void()>& announce) {
    bool announced = false;
    try {
        announced = link->Call([&] {
            job.Finished();
            announce();
        });
    } catch (...) {
        // The window failed to show the end; the job is over all the same.
    }
    if (!announced) job.Finished();
}

}  // namespace verandol
