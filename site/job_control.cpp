// Job threads. A stop is carried by the std::stop_token of the thread: the
// fetch, the window operations and the pause all wait on it. When a wait
// returns to a job that has been asked to stop, the guard throws JobStopped,
// which unwinds the job to the thread's entry and no further: the exception
// never leaves the job thread.
#include "site/job_control.h"

#include "web/fetch.h"
#include "web/job_stop.h"

namespace {

struct JobStopped {};

}  // namespace

struct JobThread::Control {
    std::mutex mutex;
    std::condition_variable_any wake;
    int pauses = 0;
    std::atomic<bool> finished{false};
};

JobThread::JobThread(Body body, WindowOperations& window, JobState& state, Text programDirectory)
    : control_(std::make_shared<Control>()) {
    thread_ =
        std::jthread([body = std::move(body), &window, &state, dir = std::move(programDirectory),
                      control = control_](std::stop_token stop) mutable {
            const ScopedJobStop bound(stop);
            auto checkpoint = [control, stop] {
                std::unique_lock lock(control->mutex);
                control->wake.wait(lock, stop, [&] { return control->pauses == 0; });
                if (stop.stop_requested()) {
                    throw JobStopped{};
                }
            };
            JobContext context(window, state, std::move(dir), checkpoint, stop);
            try {
                body(context);
            } catch (const JobStopped&) {
                // The window thread stopped the job; it leaves everything as it is.
            }
            control->finished = true;
        });
}

JobThread::~JobThread() {
    Stop();
}

void JobThread::Stop() {
    if (!thread_.joinable()) {
        return;
    }
    thread_.request_stop();
    {
        // Wake a paused job; the lock makes sure it is not between its test
        // of the pause count and its wait.
        std::lock_guard lock(control_->mutex);
    }
    control_->wake.notify_all();
    thread_.join();
}

void JobThread::Pause() {
    if (Finished()) {
        return;
    }
    std::lock_guard lock(control_->mutex);
    ++control_->pauses;
}

void JobThread::Resume() {
    {
        std::lock_guard lock(control_->mutex);
        if (control_->pauses == 0) {
            return;
        }
        --control_->pauses;
    }
    control_->wake.notify_all();
}

bool JobThread::Finished() const {
    return !thread_.joinable() || control_->finished;
}

// Each operation waits out a pause first, and a stop that came while the
// operation waited ends the job before it can act on the answer.
class JobContext::GuardedWindow : public WindowOperations {
  public:
    GuardedWindow(WindowOperations& inner, JobContext& job) : inner_(inner), job_(job) {}

    template <class Operation>
    auto Guard(Operation operation) {
        job_.Checkpoint();
        if constexpr (std::is_void_v<decltype(operation())>) {
            operation();
            job_.Checkpoint();
        } else {
            auto result = operation();
            job_.Checkpoint();
            return result;
        }
    }

    void SetStatusText(const Text& text) override {
        Guard([&] { inner_.SetStatusText(text); });
    }
    void SetProgress(int v) override {
        Guard([&] { inner_.SetProgress(v); });
    }
    int GetProgress() override {
        return Guard([&] { return inner_.GetProgress(); });
    }
    void SetTimerPeriod(JobTimer timer, int ms) override {
        Guard([&] { inner_.SetTimerPeriod(timer, ms); });
    }
    int ListAddRow() override {
        return Guard([&] { return inner_.ListAddRow(); });
    }
    void ListSetCell(int row, int column, const Text& text) override {
        Guard([&] { inner_.ListSetCell(row, column, text); });
    }
    Text ListGetCell(int row, int column) override {
        return Guard([&] { return inner_.ListGetCell(row, column); });
    }
    int ListSelectedRow() override {
        return Guard([&] { return inner_.ListSelectedRow(); });
    }
    void ListSelectRow(int row) override {
        Guard([&] { inner_.ListSelectRow(row); });
    }
    void ListDeleteRow(int row) override {
        Guard([&] { inner_.ListDeleteRow(row); });
    }
    void ListClear() override {
        Guard([&] { inner_.ListClear(); });
    }
    void ListEnsureVisible(int row) override {
        Guard([&] { inner_.ListEnsureVisible(row); });
    }
    void SetMenuItemEnabled(MenuItem item, bool enabled) override {
        Guard([&] { inner_.SetMenuItemEnabled(item, enabled); });
    }
    void ShowMessage(const Text& text) override {
        Guard([&] { inner_.ShowMessage(text); });
    }
    void ShowInfo(const Text& text) override {
        Guard([&] { inner_.ShowInfo(text); });
    }
    bool AskYesNo(const Text& text) override {
        return Guard([&] { return inner_.AskYesNo(text); });
    }
    JobInputs ReadJobInputs() override {
        return Guard([&] { return inner_.ReadJobInputs(); });
    }

  private:
    WindowOperations& inner_;
    JobContext& job_;
};

JobContext::JobContext(WindowOperations& window, JobState& state, Text programDirectory,
                       std::function<void()> checkpoint, std::stop_token stop)
    : state_(state),
      programDirectory_(std::move(programDirectory)),
      checkpoint_(std::move(checkpoint)),
      stop_(std::move(stop)),
      window_(std::make_unique<GuardedWindow>(window, *this)) {}

JobContext::~JobContext() = default;

void JobContext::Checkpoint() {
    checkpoint_();
}

Text JobContext::Fetch(const Text& url) {
    Checkpoint();
    Text page = FetchPage(url);
    Checkpoint();
    return page;
}
