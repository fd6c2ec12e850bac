// The window operations on the Qt window: what the jobs and the handlers call
// to change MainWindow. Texts arrive and leave as GBK and are converted at the
// widgets. Called on a job thread, each operation runs on the window thread
// and returns once it has run; a stopped job's call returns at once and has
// no effect (see ui/window_thread.h).
#pragma once

#include "site/window_operations.h"

class JobCalls;
class MainWindow;

class QtWindowOperations final : public WindowOperations {
  public:
    // Made on the window thread; window must outlive every job that calls
    // these operations.
    explicit QtWindowOperations(MainWindow& window);

    void SetStatusText(const Text& text) override;
    void SetProgress(int v) override;
    int GetProgress() override;
    void SetTimerPeriod(JobTimer timer, int ms) override;

    int ListAddRow() override;
    void ListSetCell(int row, int column, const Text& text) override;
    Text ListGetCell(int row, int column) override;
    int ListSelectedRow() override;
    void ListSelectRow(int row) override;
    void ListDeleteRow(int row) override;
    void ListClear() override;
    void ListEnsureVisible(int row) override;

    void SetMenuItemEnabled(MenuItem item, bool enabled) override;

    void ShowMessage(const Text& text) override;
    void ShowInfo(const Text& text) override;
    bool AskYesNo(const Text& text) override;

    JobInputs ReadJobInputs() override;

  private:
    MainWindow& window_;
    JobCalls* calls_;  // a child of the window
};
