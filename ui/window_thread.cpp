// Posting to the window thread and waiting with a stop.
#include "ui/window_thread.h"

#include <QMetaObject>

namespace window_thread_detail {

void Waiter::MarkRan() {
    {
        std::lock_guard lock(mutex_);
        ran_ = true;
        gone_ = true;
    }
    woken_.notify_all();
}

void Waiter::MarkGone() {
    {
        std::lock_guard lock(mutex_);
        gone_ = true;
    }
    woken_.notify_all();
}

bool Waiter::Wait(const std::stop_token& stop) {
    // Taking the lock before notifying means the wake cannot fall between the
    // test of the condition and the start of the wait.
    std::stop_callback wakeOnStop(stop, [this] {
        { std::lock_guard lock(mutex_); }
        woken_.notify_all();
    });
    std::unique_lock lock(mutex_);
    woken_.wait(lock, [&] { return gone_ || stop.stop_requested(); });
    return ran_;
}

void Post(QObject* context, std::function<void()> fn) {
    QMetaObject::invokeMethod(context, std::move(fn), Qt::QueuedConnection);
}

}  // namespace window_thread_detail
