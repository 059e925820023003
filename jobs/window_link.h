// The one way a worker thread reaches the window and waits for it.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

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
    // there. False when the window has closed and `f` did not run.
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

}  // namespace verandol
