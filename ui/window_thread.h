// The one road from a job thread to the window thread.
//
// A call made on the window thread runs at once. A call made on a job thread
// is queued for the window thread (never blocking-queued: the window thread
// may itself be waiting for this very job to stop) and the job waits until it
// has run, or until the job is asked to stop, whichever comes first. A call
// whose job has been stopped is dropped when the window thread reaches it; so
// is every call still queued when the window goes away.
//
// A job makes its calls in bursts (adding a row is seven calls in a row) and
// each would otherwise cost two thread wake-ups, which take longer than the
// call itself. So the window thread, having run a job's call, looks out for
// the next one for some microseconds before it goes back to its event loop
// (when the last few lookouts saw no call, as in a download's one call per
// chapter, only every eighth time, so as not to burn a processor that the
// job's fetch needs), and a job whose call finds the window thread still at
// it looks out for the call's end before it sleeps. Neither looks out longer
// than a sleep and a wake-up cost, and each yields its processor only to the
// other thread: when both run on the same one.
//
// The window must outlive the jobs that call it: job control stops a job
// before the window is destroyed.
#pragma once

#include <QObject>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <utility>

#include "web/job_stop.h"

namespace window_thread_detail {

// What a job's call waits on.
class Waiter {
  public:
    // The call ran on the window thread.
    void MarkRan();
    // The call is gone, run or dropped; wakes the job either way.
    void MarkGone();
    // True when the call ran; false when it was dropped or the stop came first.
    // windowCpu: the window thread is draining calls already, on that
    // processor, so the call may end within microseconds; look out for that
    // before going to sleep.
    bool Wait(const std::stop_token& stop, const std::atomic<int>* windowCpu = nullptr);

  private:
    std::mutex mutex_;
    std::condition_variable woken_;
    bool ran_ = false;
    std::atomic<bool> gone_{false};
};

// Lives as long as some copy of the posted call; its end releases the job even
// when Qt deletes the call without running it.
class Ticket {
  public:
    explicit Ticket(std::shared_ptr<Waiter> waiter) : waiter_(std::move(waiter)) {}
    ~Ticket() { waiter_->MarkGone(); }
    Ticket(const Ticket&) = delete;
    Ticket& operator=(const Ticket&) = delete;
    void MarkRan() { waiter_->MarkRan(); }

  private:
    std::shared_ptr<Waiter> waiter_;
};

// Queues fn to run on context's thread; it is dropped with context.
void Post(QObject* context, std::function<void()> fn);

}  // namespace window_thread_detail

// The calls that jobs make to one window, queued for its thread. Made on the
// window thread as a child of the window, so that it goes with the window,
// and the calls still queued with it.
class JobCalls : public QObject {
  public:
    explicit JobCalls(QObject* window);
    ~JobCalls() override;

    // Queues call from any thread; it runs on the window thread after every
    // call queued before it. True when the window thread was draining calls
    // already (or about to), false when this call had to wake it.
    bool Push(std::function<void()> call);
    // The processor the window thread last drained calls on.
    const std::atomic<int>& WindowCpu() const { return windowCpu_; }

  private:
    void Drain();

    std::mutex mutex_;
    std::deque<std::function<void()>> calls_;
    std::uint64_t pushed_ = 0;  // calls queued so far
    std::atomic<std::uint64_t> pushedSeen_{0};
    bool draining_ = false;           // a drain is queued or running: Push posts no other
    std::atomic<int> windowCpu_{-1};  // processors the two sides last ran on
    std::atomic<int> jobCpu_{-1};
    int missedLookouts_ = 0;  // window thread only: lookouts in a row that saw no call
    int drainsSinceLookout_ = 0;
};

namespace window_thread_detail {

inline bool OnWindowThreadNow(const QObject* context) {
    return QThread::currentThread() == context->thread();
}

}  // namespace window_thread_detail

// Runs fn on the window thread for the calling job. True when it ran; false
// when the job was stopped first, or the call was dropped.
template <class Fn>
bool RunOnWindowThread(JobCalls* calls, Fn fn) {
    using namespace window_thread_detail;
    if (OnWindowThreadNow(calls)) {
        fn();
        return true;
    }
    const std::stop_token stop = CurrentJobStop();
    if (stop.stop_requested()) {
        return false;
    }
    auto waiter = std::make_shared<Waiter>();
    const bool draining = calls->Push(
        [ticket = std::make_shared<Ticket>(waiter), stop, fn = std::move(fn)]() mutable {
            if (stop.stop_requested()) {
                return;
            }
            fn();
            ticket->MarkRan();
        });
    return waiter->Wait(stop, draining ? &calls->WindowCpu() : nullptr);
}

// Like RunOnWindowThread, for a call with a result: fallback when it did not run.
template <class R, class Fn>
R ReadOnWindowThread(JobCalls* calls, R fallback, Fn fn) {
    if (window_thread_detail::OnWindowThreadNow(calls)) {
        return fn();
    }
    // Shared, since a stopped job may return while the window thread still holds the call.
    auto result = std::make_shared<R>(fallback);
    if (!RunOnWindowThread(calls, [result, fn = std::move(fn)]() mutable { *result = fn(); })) {
        return fallback;
    }
    return *result;
}
