// What the pipeline benchmark runs: the download job with a window that does
// nothing, curl over the same chapter URLs, and the real window (offscreen)
// driven through its commands, as the user would.
#pragma once

#include <QObject>

#include <memory>
#include <string>
#include <vector>

#include "bench/measure.h"
#include "text/text.h"

class MainWindow;
class WindowController;
class QEventLoop;
class QMessageBox;

namespace bench {

// A book of the sample site as a row of the book list shows it.
struct ListedBook {
    Text id;
    Text name;  // "《" + title + "》"
    int chapters = 0;
};
ListedBook SiteBook(int id);

// The book's folder in programDirectory, as the download job names it (GBK),
// and as the kernel sees it.
Text BookFolder(const Text& programDirectory, const ListedBook& book);
std::string NativeFolder(const Text& programDirectory, const ListedBook& book);

struct DownloadRun {
    double ms = 0;
    int files = 0;     // chapter files on disk afterwards
    double cpuMs = 0;  // CPU time of the process that downloaded
};

// DownloadJob on a job thread with a window that does nothing and answers No;
// from the start of the thread to the end of the job. The folder is removed
// afterwards.
DownloadRun HeadlessDownload(const Text& programDirectory, const ListedBook& book);

// CatalogueJob walking pages listing pages of 最新更新 with a window that does
// nothing (rows are counted, not shown): the job's own cost. Times as rows
// would appear.
struct HeadlessWalkRun {
    Clock::time_point start;
    std::vector<Clock::time_point> rows;
    double cpuMs = 0;
};
HeadlessWalkRun HeadlessWalk(int pages);

// Writes a curl config that fetches every chapter of the book into outputFolder.
void WriteCurlConfig(const std::string& path, const ListedBook& book,
                     const std::string& outputFolder);
// One curl process through the proxy with that config, from its start to its
// exit; the output folder is made before and removed after.
DownloadRun CurlDownload(const std::string& proxyUrl, const std::string& configPath,
                         const std::string& outputFolder);

// The real window and its controller, shown offscreen. Needs a QApplication.
class WindowDriver : public QObject {
  public:
    explicit WindowDriver(Text programDirectory);
    ~WindowDriver() override;

    MainWindow& Window() { return *window_; }
    WindowController& Controller() { return *controller_; }

    // Empties the list and adds the book as its one, selected row.
    void ListBook(const ListedBook& book);

    struct TimedDownload {
        double ms = 0;            // Download command to the question at the end
        double cpuMs = 0;         // of the whole process meanwhile
        double windowCpuMs = 0;   // of the window thread meanwhile
        double longestGapMs = 0;  // between ticks of a 10 ms timer; 0 unless probed
        int files = 0;
        bool asked = false;  // the job asked "下载完成，是否查看？"
        int listPaints = 0;  // times the book list was painted
    };
    // Lists the book, runs the Download command and answers No at the end.
    // bothTimers starts FetchTimer beside DownloadTimer; probeTicks runs a
    // 10 ms timer on the window thread and reports its longest gap.
    TimedDownload Download(const ListedBook& book, bool bothTimers, bool probeTicks);

    struct TimedWalk {
        Clock::time_point start;
        std::vector<Clock::time_point> rows;  // when each row appeared
        bool complete = false;                // every row there and "状态：获取完成" shown
        double cpuMs = 0;                     // of the whole process meanwhile
        double windowCpuMs = 0;               // of the window thread meanwhile
    };
    // A walk of pages listing pages of 最新更新 through the Fetch command.
    TimedWalk CategoryWalk(int pages);

    // The job started by the Fetch command by id; true once it has ended.
    bool FetchById(const Text& id);

    // StopJob at delayMs after the Download command of the book, or after the
    // Fetch command for the id whose index page never answers; the time
    // StopJob took, in ms.
    double StopDuringDownload(const ListedBook& book, int delayMs);
    double StopDuringHangingFetch(int delayMs);

    // A job that makes n window calls and nothing else: ms per call, for a
    // call that changes a cell and for one that only reads the progress.
    struct RoundTrips {
        double setCellMs = 0;
        double readMs = 0;
    };
    RoundTrips TimeRoundTrips(int n);

    // The longest gap between ticks of a 10 ms timer while nothing runs.
    double IdleLongestGap(int ms);

    // Runs the event loop for ms milliseconds.
    void Wait(int ms);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Runs the event loop until done() or timeoutMs; done() is tested every
    // 20 ms, and at once when a message box shows.
    bool RunUntil(const std::function<bool()>& done, int timeoutMs);
    bool JobFinished();

    Text programDirectory_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<WindowController> controller_;
    // The last question box that showed, and when.
    Clock::time_point questionAt_;
    QString questionText_;
    bool questionSeen_ = false;
    QEventLoop* loop_ = nullptr;  // the loop RunUntil runs
    int listPaints_ = 0;
};

}  // namespace bench
