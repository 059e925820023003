#include "jobs/window_link.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

namespace verandol {

std::shared_ptr<WindowLink> WindowLink::Create(QObject* window) {
    return std::shared_ptr<WindowLink>(new WindowLink(window));
}

WindowLink::WindowLink(QObject* window) : window_(window), window_thread_(window->thread()) {}

bool WindowLink::Call(std::function<void()> f) {
    std::unique_lock lock(mutex_);
    if (severed_) return false;
    if (QThread::currentThread() == window_thread_) {
        // Severing happens on this same thread, so the window stays alive
        // for the whole call.
        lock.unlock();
        f();
        return true;
    }
    auto done = std::make_shared<bool>(false);
    auto thrown = std::make_shared<std::exception_ptr>();
    auto self = shared_from_this();
    // Posted while the lock is held: the window cannot be severed and
    // destroyed between the check above and the post.
    QMetaObject::invokeMethod(
        window_,
        [self, done, thrown, f = std::move(f)] {
            if (self->Severed()) return;
            try {
                f();
            } catch (...) {
                *thrown = std::current_exception();
            }
            std::lock_guard guard(self->mutex_);
            *done = true;
            self->finished_.notify_all();
        },
        Qt::QueuedConnection);
    finished_.wait(lock, [&] { return *done || severed_; });
    if (*done && *thrown) std::rethrow_exception(*thrown);
    return *done;
}

void WindowLink::Sever() {
    std::lock_guard guard(mutex_);
    severed_ = true;
    finished_.notify_all();
}

bool WindowLink::Severed() const {
    std::lock_guard guard(mutex_);
    return severed_;
}

}  // namespace verandol
