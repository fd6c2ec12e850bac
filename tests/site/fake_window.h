// A recording stand-in for the window: it keeps the list, the status text,
// the progress, the timers and the menu states as the Qt window would, logs
// every call in order, and answers questions from a script or, when the
// script is empty, waits until the test answers or the job is stopped.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "site/window_operations.h"
#include "text/codec.h"
#include "web/job_stop.h"

class FakeWindow : public WindowOperations {
  public:
    static constexpr int Columns = 7;

    JobInputs inputs;

    // Call log in UTF-8, one entry per call, e.g. "SetStatusText 状态：获取完成".
    std::vector<std::string> Log() const {
        std::lock_guard lock(mutex_);
        return log_;
    }
    std::string Status() const {
        std::lock_guard lock(mutex_);
        return status_;
    }
    int Rows() const {
        std::lock_guard lock(mutex_);
        return static_cast<int>(rows_.size());
    }
    // Cell text in UTF-8.
    std::string Cell(int row, int column) const {
        std::lock_guard lock(mutex_);
        return ValidCell(row, column) ? GbkToUtf8(rows_[row][column]) : std::string();
    }
    int Selected() const {
        std::lock_guard lock(mutex_);
        return selected_;
    }
    int Progress() const {
        std::lock_guard lock(mutex_);
        return progress_;
    }
    int TimerPeriod(JobTimer timer) const {
        std::lock_guard lock(mutex_);
        return timer == JobTimer::Fetch ? fetchTimer_ : downloadTimer_;
    }
    bool MenuEnabled(MenuItem item) const {
        std::lock_guard lock(mutex_);
        return menu_[static_cast<int>(item)];
    }
    // Questions asked so far, in UTF-8.
    std::vector<std::string> Questions() const {
        std::lock_guard lock(mutex_);
        return questions_;
    }

    // A row as a job would leave it; cells in UTF-8.
    void AddRow(std::vector<std::string> cells) {
        std::lock_guard lock(mutex_);
        std::vector<Text> row(Columns);
        for (std::size_t i = 0; i < cells.size() && i < row.size(); ++i) {
            row[i] = Utf8ToGbk(cells[i]);
        }
        rows_.push_back(std::move(row));
    }
    void Select(int row) {
        std::lock_guard lock(mutex_);
        selected_ = row;
    }
    void SetTimer(JobTimer timer, int ms) {
        std::lock_guard lock(mutex_);
        (timer == JobTimer::Fetch ? fetchTimer_ : downloadTimer_) = ms;
    }
    void SetMenu(MenuItem item, bool enabled) {
        std::lock_guard lock(mutex_);
        menu_[static_cast<int>(item)] = enabled;
    }

    // Answers for the next questions, in order.
    void ScriptAnswers(std::deque<bool> answers) {
        std::lock_guard lock(mutex_);
        scripted_ = std::move(answers);
    }
    // Answers the question a job waits on (when the script was empty).
    void Answer(bool yes) {
        {
            std::lock_guard lock(mutex_);
            answer_ = yes;
        }
        changed_.notify_all();
    }
    // Blocks until a question waits for the test's answer.
    void WaitForOpenQuestion() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return questionOpen_; });
    }
    bool QuestionOpen() const {
        std::lock_guard lock(mutex_);
        return questionOpen_;
    }

    void SetStatusText(const Text& text) override {
        std::lock_guard lock(mutex_);
        if (Dropped()) {
            return;
        }
        status_ = GbkToUtf8(text);
        Record("SetStatusText " + status_);
    }
    void SetProgress(int v) override {
        std::lock_guard lock(mutex_);
        if (Dropped()) {
            return;
        }
        progress_ = v < 0 ? 0 : (v > 32767 ? 32767 : v);
        Record("SetProgress " + std::to_string(v));
    }
    int GetProgress() override {
        std::lock_guard lock(mutex_);
        return Dropped() ? 0 : progress_;
    }
    void SetTimerPeriod(JobTimer timer, int ms) override {
        std::lock_guard lock(mutex_);
        if (Dropped()) {
            return;
        }
        (timer == JobTimer::Fetch ? fetchTimer_ : downloadTimer_) = ms < 0 ? 0 : ms;
        Record(std::string(timer == JobTimer::Fetch ? "FetchTimer " : "DownloadTimer ") +
               std::to_string(ms));
    }
    int ListAddRow() override {
        std::lock_guard lock(mutex_);
        if (Dropped()) {
            return -1;
        }
        rows_.emplace_back(Columns);
        Record("ListAddRow");
        return static_cast<int>(rows_.size()) - 1;
    }
    void ListSetCell(int row, int column, const Text& text) override {
        std::lock_guard lock(mutex_);
        if (Dropped()) {
            return;
        }
        Record("ListSetCell " + std::to_string(row) + " " + std::to_string(column) + " " +
               GbkToUtf8(text));
        if (ValidCell(row, column)) {
            rows_[row][column] = text;
        }
    }
    Text ListGetCell(int row, int column) override {
        std::lock_guard lock(mutex_);
        return !Dropped() && ValidCell(row, column) ? rows_[row][column] : Text();
    }
    int ListSelectedRow() override {
        std::lock_guard lock(mutex_);
        return Dropped() ? -1 : selected_;
    }
    void ListSelectRow(int row) override {
        std::lock_guard lock(mutex_);
        if (Dropped()) {
            return;
        }
        Record("ListSelectRow " + std::to_string(row));
        if (row < static_cast<int>(rows_.size())) {
            selected_ = row < 0 ? -1 : row;
        }
    }
    void ListDeleteRow(int row) override {
        std::lock_guard lock(mutex_);
        if (Dropped() || row < 0 || row >= static_cast<int>(rows_.size())) {
            return;
        }
        Record("ListDeleteRow " + std::to_string(row));
        rows_.erase(rows_.begin() + row);
        if (selected_ == row) {
            selected_ = -1;
        } else if (selected_ > row) {
            --selected_;
        }
    }
    void ListClear() override {
        std::lock_guard lock(mutex_);
        if (Dropped()) {
            return;
        }
        Record("ListClear");
        rows_.clear();
        selected_ = -1;
    }
    void ListEnsureVisible(int row) override {
        std::lock_guard lock(mutex_);
        if (!Dropped()) {
            Record("ListEnsureVisible " + std::to_string(row));
        }
    }
    void SetMenuItemEnabled(MenuItem item, bool enabled) override {
        std::lock_guard lock(mutex_);
        if (Dropped()) {
            return;
        }
        menu_[static_cast<int>(item)] = enabled;
        Record("SetMenuItemEnabled " + std::to_string(static_cast<int>(item)) +
               (enabled ? " on" : " off"));
    }
    void ShowMessage(const Text& text) override {
        std::lock_guard lock(mutex_);
        if (!Dropped()) {
            Record("ShowMessage " + GbkToUtf8(text));
        }
    }
    void ShowInfo(const Text& text) override {
        std::lock_guard lock(mutex_);
        if (!Dropped()) {
            Record("ShowInfo " + GbkToUtf8(text));
        }
    }
    bool AskYesNo(const Text& text) override {
        std::unique_lock lock(mutex_);
        if (Dropped()) {
            return false;
        }
        const std::string question = GbkToUtf8(text);
        questions_.push_back(question);
        Record("AskYesNo " + question);
        if (!scripted_.empty()) {
            const bool yes = scripted_.front();
            scripted_.pop_front();
            return yes;
        }
        // Wait for the test, or for the job's stop, which closes the question.
        questionOpen_ = true;
        answer_.reset();
        changed_.notify_all();
        const std::stop_token stop = CurrentJobStop();
        changed_.wait(lock, stop, [&] { return answer_.has_value(); });
        questionOpen_ = false;
        return answer_.value_or(false) && !stop.stop_requested();
    }
    JobInputs ReadJobInputs() override {
        std::lock_guard lock(mutex_);
        return inputs;
    }

    // How many calls a stopped job tried to make after its stop.
    int DroppedCalls() const {
        std::lock_guard lock(mutex_);
        return dropped_;
    }

  private:
    bool ValidCell(int row, int column) const {
        return row >= 0 && row < static_cast<int>(rows_.size()) && column >= 0 && column < Columns;
    }
    // A stopped job's calls have no effect, as on the real window.
    bool Dropped() {
        if (CurrentJobStop().stop_requested()) {
            ++dropped_;
            return true;
        }
        return false;
    }
    void Record(std::string entry) { log_.push_back(std::move(entry)); }

    mutable std::mutex mutex_;
    std::condition_variable_any changed_;
    std::vector<std::string> log_;
    std::vector<std::vector<Text>> rows_;
    std::string status_;
    int selected_ = -1;
    int progress_ = 0;
    int fetchTimer_ = 0;
    int downloadTimer_ = 0;
    bool menu_[4] = {true, true, true, true};
    std::deque<bool> scripted_;
    std::optional<bool> answer_;
    bool questionOpen_ = false;
    std::vector<std::string> questions_;
    int dropped_ = 0;
};
