// Running one job on a thread of its own, and stopping, pausing and resuming
// it from the window thread.
//
// A job reaches the outside world only through its JobContext: the window
// (through a guard that waits while the job is paused), the network (Fetch)
// and the disk (the file calls below). Every one of those waits wakes on a
// stop, and once the job has been asked to stop the guard ends it on the
// spot: the next call of the job does not return into the job's code. So
// after Stop() returns, the job has run its last line.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>

#include "site/job_state.h"
#include "site/window_operations.h"

class JobContext;

class JobThread {
  public:
    using Body = std::function<void(JobContext&)>;

    // Starts body on a new thread, unpaused. The window, the state and the
    // program folder must outlive the thread.
    JobThread(Body body, WindowOperations& window, JobState& state, Text programDirectory);
    // Stops the job and waits for its thread.
    ~JobThread();
    JobThread(const JobThread&) = delete;
    JobThread& operator=(const JobThread&) = delete;

    // Asks the job to stop, wakes whatever it waits for (a page, a window
    // operation, a question, a pause) and returns once the job's thread has
    // ended. Nothing happens when the job has ended already.
    void Stop();
    // Pauses nest: each Pause needs its own Resume.
    void Pause();
    void Resume();
    bool Finished() const;

  private:
    struct Control;
    std::shared_ptr<Control> control_;
    std::jthread thread_;
};

// What a running job may touch.
class JobContext {
  public:
    JobContext(WindowOperations& window, JobState& state, Text programDirectory,
               std::function<void()> checkpoint, std::stop_token stop);
    ~JobContext();

    // The window, guarded: each call first waits while the job is paused, and
    // the job ends at the call once it has been asked to stop.
    WindowOperations& Window() { return *window_; }
    JobState& State() { return state_; }
    // The folder the book folders go in.
    const Text& ProgramDirectory() const { return programDirectory_; }

    // FetchPage, after waiting out a pause; a stop ends the job here.
    Text Fetch(const Text& url);
    // Waits while paused; a stop ends the job here. Call before every write.
    void Checkpoint();

  private:
    class GuardedWindow;
    JobState& state_;
    Text programDirectory_;
    std::function<void()> checkpoint_;
    std::stop_token stop_;
    std::unique_ptr<WindowOperations> window_;  // a GuardedWindow
};
