// The stop request of the job that runs on the calling thread. Job control
// binds each job thread to its job's std::stop_token; every wait of a job (a
// fetch, a window operation, a question, a pause) watches that token, so that
// a stop from the window thread ends the wait at once. Outside a job thread
// the token is empty and never stops.
#pragma once

#include <stop_token>
#include <utility>

namespace job_stop_detail {
inline thread_local std::stop_token current;
}

// The calling thread's job stop token (empty outside a job thread).
inline std::stop_token CurrentJobStop() { return job_stop_detail::current; }

// True when the job of the calling thread has been asked to stop.
inline bool JobStopRequested() { return job_stop_detail::current.stop_requested(); }

// Binds the calling thread to a job's stop token while it lives.
class ScopedJobStop {
public:
    explicit ScopedJobStop(std::stop_token token)
        : previous_(std::exchange(job_stop_detail::current, std::move(token))) {}
    ~ScopedJobStop() { job_stop_detail::current = std::move(previous_); }
    ScopedJobStop(const ScopedJobStop&) = delete;
    ScopedJobStop& operator=(const ScopedJobStop&) = delete;

private:
    std::stop_token previous_;
};
