// Queueing calls for the window thread and waiting for them with a stop.
#include "ui/window_thread.h"

#include <QMetaObject>

#include <sched.h>

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

// How long a job looks out for the end of a call that the window thread is
// already draining calls for, and the window thread for a job's next call,
// before each goes to sleep: about what a sleep and a wake-up cost.
constexpr auto JobLookout = std::chrono::microseconds(50);
constexpr auto WindowLookout = std::chrono::microseconds(30);
constexpr int MissesBeforeSkipping = 4;
constexpr int LookoutEvery = 8;
// The longest the window thread runs job calls before its other events
// (timers, input, painting) get their turn.
constexpr auto LongestDrain = std::chrono::milliseconds(5);

// One step of looking out for the thread last seen on partnerCpu. On the
// same processor the other thread can only go on if this one steps aside,
// so it yields; on another, yielding would hand this processor to some
// other program for a whole time slice on a busy machine, so it only tells
// the processor that this is a wait loop.
inline void LookOutStep(int partnerCpu) {
    if (partnerCpu == sched_getcpu()) {
        sched_yield();
        return;
    }
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    __asm__ __volatile__("yield");
#endif
}

}  // namespace

namespace window_thread_detail {

void Waiter::MarkRan() {
    {
        std::lock_guard lock(mutex_);
        ran_ = true;
        gone_.store(true, std::memory_order_release);
    }
    woken_.notify_all();
}

void Waiter::MarkGone() {
    {
        std::lock_guard lock(mutex_);
        gone_.store(true, std::memory_order_release);
    }
    woken_.notify_all();
}

bool Waiter::Wait(const std::stop_token& stop, const std::atomic<int>* windowCpu) {
    if (windowCpu != nullptr) {
        const Clock::time_point lookoutEnd = Clock::now() + JobLookout;
        while (!gone_.load(std::memory_order_acquire) && !stop.stop_requested() &&
               Clock::now() < lookoutEnd) {
            LookOutStep(windowCpu->load(std::memory_order_relaxed));
        }
    }
    // Taking the lock before notifying means the wake cannot fall between the
    // test of the condition and the start of the wait.
    std::stop_callback wakeOnStop(stop, [this] {
        { std::lock_guard lock(mutex_); }
        woken_.notify_all();
    });
    std::unique_lock lock(mutex_);
    woken_.wait(lock,
                [&] { return gone_.load(std::memory_order_relaxed) || stop.stop_requested(); });
    return ran_;
}

void Post(QObject* context, std::function<void()> fn) {
    QMetaObject::invokeMethod(context, std::move(fn), Qt::QueuedConnection);
}

}  // namespace window_thread_detail

JobCalls::JobCalls(QObject* window) : QObject(window) {}

JobCalls::~JobCalls() {
    // Dropping the queued calls releases the jobs that wait for them.
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(mutex_);
        dropped.swap(calls_);
    }
}

bool JobCalls::Push(std::function<void()> call) {
    bool post = false;
    jobCpu_.store(sched_getcpu(), std::memory_order_relaxed);
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
        pushedSeen_.store(++pushed_, std::memory_order_release);
        post = !draining_;
        draining_ = true;
    }
    if (post) {
        window_thread_detail::Post(this, [this] { Drain(); });
    }
    return !post;
}

void JobCalls::Drain() {
    const Clock::time_point drainEnd = Clock::now() + LongestDrain;
    windowCpu_.store(sched_getcpu(), std::memory_order_relaxed);
    for (;;) {
        std::function<void()> call;
        std::uint64_t seen = 0;
        {
            std::lock_guard lock(mutex_);
            if (!calls_.empty()) {
                call = std::move(calls_.front());
                calls_.pop_front();
            } else {
                seen = pushed_;
            }
        }
        if (call) {
            call();
            call = nullptr;  // releases the job's ticket now, not at the next call
            if (Clock::now() >= drainEnd) {
                break;
            }
            continue;
        }
        // The queue is empty: look out a moment for the job's next call,
        // unless the job has lately made its calls one at a time (a download
        // sets one cell per chapter); then only now and again, to notice
        // when calls come in bursts again.
        if (missedLookouts_ >= MissesBeforeSkipping && ++drainsSinceLookout_ < LookoutEvery) {
            break;
        }
        drainsSinceLookout_ = 0;
        const Clock::time_point lookoutEnd = Clock::now() + WindowLookout;
        while (pushedSeen_.load(std::memory_order_acquire) == seen && Clock::now() < lookoutEnd) {
            LookOutStep(jobCpu_.load(std::memory_order_relaxed));
        }
        if (pushedSeen_.load(std::memory_order_acquire) == seen) {
            ++missedLookouts_;
            break;
        }
        missedLookouts_ = 0;
    }
    std::lock_guard lock(mutex_);
    if (calls_.empty()) {
        draining_ = false;
    } else {
        // Calls keep coming: the other events first, then another drain.
        window_thread_detail::Post(this, [this] { Drain(); });
    }
}
