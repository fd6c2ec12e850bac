// The window's behaviour: the handlers of MainWindow's events, the two
// progress timers and the control of the one job that may run at a time.
// Everything here runs on the window thread.
#pragma once

#include <QObject>

#include "site/job_control.h"
#include "ui/main_window.h"
#include "ui/window_operations_qt.h"

class WindowController : public QObject {
    Q_OBJECT

  public:
    // Book folders go in programDirectory (GBK, no trailing separator).
    WindowController(MainWindow& window, Text programDirectory);
    // Stops a running job, paused or not.
    ~WindowController() override;

    WindowOperations& Operations() { return operations_; }

    // Job control; each does nothing when no job runs.
    void StartJobThread(JobThread::Body job);
    void StopJob();
    void PauseJob();
    void ResumeJob();

    // The commands, as the controls' events run them.
    void FetchCommand();
    void DownloadCommand();
    void DeleteCommand();
    void ProgressTick(JobTimer timer, const Text& runningText, const Text& doneText);

  private:
    void ConnectEvents();
    void PlaceholderOff(QLineEdit* box, const QString& placeholder);
    void PlaceholderOn(QLineEdit* box, const QString& placeholder);

    MainWindow& window_;
    QtWindowOperations operations_;
    Text programDirectory_;
};
