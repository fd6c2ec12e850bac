// The runs the pipeline benchmark times.
#include "bench/drivers.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QTimer>

#include <fstream>
#include <functional>
#include <latch>

#include "site/catalogue_job.h"
#include "site/download_job.h"
#include "site/job_control.h"
#include "site/site_profile.h"
#include "text/codec.h"
#include "text/files.h"
#include "tools/sample-site/site_content.h"
#include "ui/book_list.h"
#include "ui/main_window.h"
#include "ui/window_controller.h"

namespace bench {
namespace {

// Does nothing, reads nothing and answers No.
class NoOpWindow : public WindowOperations {
  public:
    void SetStatusText(const Text&) override {}
    void SetProgress(int) override {}
    int GetProgress() override { return 0; }
    void SetTimerPeriod(JobTimer, int) override {}
    int ListAddRow() override { return -1; }
    void ListSetCell(int, int, const Text&) override {}
    Text ListGetCell(int, int) override { return {}; }
    int ListSelectedRow() override { return -1; }
    void ListSelectRow(int) override {}
    void ListDeleteRow(int) override {}
    void ListClear() override {}
    void ListEnsureVisible(int) override {}
    void SetMenuItemEnabled(MenuItem, bool) override {}
    void ShowMessage(const Text&) override {}
    void ShowInfo(const Text&) override {}
    bool AskYesNo(const Text&) override { return false; }
    JobInputs ReadJobInputs() override { return {}; }
};

// Its one row, selected, is the book to download.
class BookWindow final : public NoOpWindow {
  public:
    explicit BookWindow(const ListedBook& book) : book_(book) {}

    Text ListGetCell(int row, int column) override {
        if (row != 0) {
            return {};
        }
        return column == 1 ? book_.id : column == 2 ? book_.name : Text();
    }
    int ListSelectedRow() override { return 0; }

  private:
    ListedBook book_;
};

// Reads the inputs of a category walk and counts the rows it adds.
class WalkWindow final : public NoOpWindow {
  public:
    WalkWindow(int pages, std::vector<Clock::time_point>& rows) : pages_(pages), rows_(rows) {}

    int ListAddRow() override {
        rows_.push_back(Clock::now());
        return static_cast<int>(rows_.size()) - 1;
    }
    JobInputs ReadJobInputs() override {
        JobInputs inputs;
        inputs.byCategory = true;
        inputs.pages = NumberToText(pages_);
        inputs.category = Utf8ToGbk("最新更新");
        return inputs;
    }

  private:
    int pages_;
    std::vector<Clock::time_point>& rows_;
};

// A 10 ms timer on the window thread that keeps the longest gap between ticks.
class TickProbe {
  public:
    TickProbe() {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const Clock::time_point now = Clock::now();
            longest_ = std::max(longest_, MillisBetween(last_, now));
            last_ = now;
        });
    }
    void Start() {
        longest_ = 0;
        last_ = Clock::now();
        timer_.start(10);
    }
    // The longest gap, the one still open included.
    double Stop() {
        timer_.stop();
        return std::max(longest_, MillisBetween(last_, Clock::now()));
    }

  private:
    QTimer timer_;
    Clock::time_point last_;
    double longest_ = 0;
};

}  // namespace

ListedBook SiteBook(int id) {
    const std::optional<sample_site::BookFacts> facts = sample_site::FindBook(std::to_string(id));
    if (!facts) {
        return {};
    }
    return {facts->Id, BookNameOf(facts->Name), facts->Chapters};
}

Text BookFolder(const Text& programDirectory, const ListedBook& book) {
    return JoinTexts({programDirectory, "\\", SafeName(book.name)});
}

std::string NativeFolder(const Text& programDirectory, const ListedBook& book) {
    return NativePath(BookFolder(programDirectory, book));
}

DownloadRun HeadlessDownload(const Text& programDirectory, const ListedBook& book) {
    DeleteFolderTree(BookFolder(programDirectory, book));
    BookWindow window(book);
    JobState state;
    InitialiseJobState(state);
    std::latch ended(1);
    Clock::time_point end;
    const double cpu = ProcessCpuMs();
    const Clock::time_point start = Clock::now();
    {
        JobThread job(
            [&](JobContext& context) {
                DownloadJob(context);
                end = Clock::now();
                ended.count_down();
            },
            window, state, programDirectory);
        ended.wait();
    }
    DownloadRun run{MillisBetween(start, end), CountFiles(NativeFolder(programDirectory, book)),
                    ProcessCpuMs() - cpu};
    DeleteFolderTree(BookFolder(programDirectory, book));
    ReleaseJobState(state);
    return run;
}

HeadlessWalkRun HeadlessWalk(int pages) {
    HeadlessWalkRun run;
    run.rows.reserve(static_cast<std::size_t>(pages) * BooksPerListingPage);
    WalkWindow window(pages, run.rows);
    JobState state;
    InitialiseJobState(state);
    std::latch ended(1);
    const double cpu = ProcessCpuMs();
    run.start = Clock::now();
    {
        JobThread job(
            [&](JobContext& context) {
                CatalogueJob(context);
                ended.count_down();
            },
            window, state, Text());
        ended.wait();
    }
    run.cpuMs = ProcessCpuMs() - cpu;
    ReleaseJobState(state);
    return run;
}

void WriteCurlConfig(const std::string& path, const ListedBook& book,
                     const std::string& outputFolder) {
    std::ofstream config(path);
    const int id = std::stoi(book.id);
    for (int n = 1; n <= book.chapters; ++n) {
        config << "url = \"" << ChapterUrl(book.id, sample_site::ChapterId(id, n)) << "\"\n"
               << "output = \"" << outputFolder << "/" << n << ".html\"\n";
    }
}

DownloadRun CurlDownload(const std::string& proxyUrl, const std::string& configPath,
                         const std::string& outputFolder) {
    DeleteFolderTree(outputFolder);
    CreateFolder(outputFolder);
    const Clock::time_point start = Clock::now();
    double cpu = 0;
    const int status = RunProcess(
        {"curl", "--silent", "--show-error", "--proxy", proxyUrl, "--config", configPath}, {},
        &cpu);
    const double ms = MillisBetween(start, Clock::now());
    DownloadRun run{ms, status == 0 ? CountFiles(outputFolder) : -1, cpu};
    DeleteFolderTree(outputFolder);
    return run;
}

WindowDriver::WindowDriver(Text programDirectory)
    : programDirectory_(std::move(programDirectory)),
      window_(std::make_unique<MainWindow>()),
      controller_(std::make_unique<WindowController>(*window_, programDirectory_)) {
    window_->show();
    QCoreApplication::instance()->installEventFilter(this);
    Wait(50);
}

WindowDriver::~WindowDriver() {
    QCoreApplication::instance()->removeEventFilter(this);
    controller_.reset();
    window_.reset();
}

bool WindowDriver::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Paint && watched == window_->BookList()->viewport()) {
        ++listPaints_;
    }
    if (event->type() == QEvent::Show) {
        if (auto* box = qobject_cast<QMessageBox*>(watched); box != nullptr) {
            questionAt_ = Clock::now();
            questionText_ = box->text();
            questionSeen_ = true;
            if (loop_ != nullptr) {
                loop_->quit();
            }
            // Answer once the box is up, as a user would.
            QTimer::singleShot(0, box, [box] {
                if (QAbstractButton* no = box->button(QMessageBox::No)) {
                    no->click();
                } else if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
                    ok->click();
                }
            });
        }
    }
    return QObject::eventFilter(watched, event);
}

void WindowDriver::Wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool WindowDriver::RunUntil(const std::function<bool()>& done, int timeoutMs) {
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(timeoutMs);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || Clock::now() > until) {
            loop.quit();
        }
    });
    // Seldom: the poll runs on the window thread it measures.
    poll.start(20);
    loop_ = &loop;
    if (!done()) {
        loop.exec();
    }
    loop_ = nullptr;
    return done();
}

bool WindowDriver::JobFinished() {
    const auto& worker = window_->Jobs().WorkerThread;
    return worker == nullptr || worker->Finished();
}

void WindowDriver::ListBook(const ListedBook& book) {
    WindowOperations& window = controller_->Operations();
    window.ListClear();
    const int row = window.ListAddRow();
    window.ListSetCell(row, 0, "1");
    window.ListSetCell(row, 1, book.id);
    window.ListSetCell(row, 2, book.name);
    window.ListSetCell(row, 4, NumberToText(book.chapters));
    window.ListSelectRow(row);
}

WindowDriver::TimedDownload WindowDriver::Download(const ListedBook& book, bool bothTimers,
                                                   bool probeTicks) {
    const Text folder = BookFolder(programDirectory_, book);
    DeleteFolderTree(folder);
    ListBook(book);
    questionSeen_ = false;
    listPaints_ = 0;
    TickProbe probe;
    if (probeTicks) {
        probe.Start();
    }
    const double cpu = ProcessCpuMs();
    const double windowCpu = ThreadCpuMs();
    const Clock::time_point start = Clock::now();
    controller_->DownloadCommand();
    if (bothTimers) {
        controller_->Operations().SetTimerPeriod(JobTimer::Fetch, 100);
    }
    TimedDownload run;
    RunUntil([this] { return questionSeen_; }, 600000);
    run.ms = MillisBetween(start, questionAt_);
    run.cpuMs = ProcessCpuMs() - cpu;
    run.windowCpuMs = ThreadCpuMs() - windowCpu;
    if (probeTicks) {
        run.longestGapMs = probe.Stop();
    }
    run.listPaints = listPaints_;
    run.asked = questionSeen_ && questionText_.endsWith(QStringLiteral(" 下载完成，是否查看？"));
    RunUntil([this] { return JobFinished(); }, 60000);
    controller_->Operations().SetTimerPeriod(JobTimer::Fetch, 0);
    run.files = CountFiles(NativeFolder(programDirectory_, book));
    DeleteFolderTree(folder);
    return run;
}

WindowDriver::TimedWalk WindowDriver::CategoryWalk(int pages) {
    controller_->Operations().ListClear();
    window_->ByCategoryRadio()->setChecked(true);
    window_->SetPageBoxEnabled(true);
    window_->CategoryCombo()->setCurrentIndex(0);  // 最新更新
    window_->PageBox()->setText(QString::number(pages));

    TimedWalk walk;
    walk.rows.reserve(static_cast<std::size_t>(pages) * BooksPerListingPage);
    const QMetaObject::Connection counting =
        QObject::connect(window_->BookList()->model(), &QAbstractItemModel::rowsInserted, this,
                         [&walk](const QModelIndex&, int first, int last) {
                             const Clock::time_point now = Clock::now();
                             for (int r = first; r <= last; ++r) {
                                 walk.rows.push_back(now);
                             }
                         });
    const double cpu = ProcessCpuMs();
    const double windowCpu = ThreadCpuMs();
    walk.start = Clock::now();
    controller_->FetchCommand();
    const QString done = QStringLiteral("状态：获取完成");
    RunUntil([&] { return JobFinished() && window_->StatusText() == done; }, 600000);
    walk.cpuMs = ProcessCpuMs() - cpu;
    walk.windowCpuMs = ThreadCpuMs() - windowCpu;
    QObject::disconnect(counting);
    walk.complete = window_->StatusText() == done &&
                    window_->BookList()->rowCount() == pages * BooksPerListingPage;
    controller_->Operations().ListClear();
    return walk;
}

bool WindowDriver::FetchById(const Text& id) {
    window_->ByIdRadio()->setChecked(true);
    window_->IdBox()->setText(QString::fromStdString(GbkToUtf8(id)));
    controller_->FetchCommand();
    return RunUntil([this] { return JobFinished(); }, 600000);
}

double WindowDriver::StopDuringDownload(const ListedBook& book, int delayMs) {
    const Text folder = BookFolder(programDirectory_, book);
    DeleteFolderTree(folder);
    ListBook(book);
    controller_->DownloadCommand();
    Wait(delayMs);
    const Clock::time_point start = Clock::now();
    controller_->StopJob();
    const double ms = MillisBetween(start, Clock::now());
    DeleteFolderTree(folder);
    return ms;
}

double WindowDriver::StopDuringHangingFetch(int delayMs) {
    window_->ByIdRadio()->setChecked(true);
    window_->IdBox()->setText(QString::number(sample_site::special::NeverAnswers));
    controller_->FetchCommand();
    Wait(delayMs);
    const Clock::time_point start = Clock::now();
    controller_->StopJob();
    return MillisBetween(start, Clock::now());
}

WindowDriver::RoundTrips WindowDriver::TimeRoundTrips(int n) {
    ListBook(SiteBook(sample_site::FirstBookId));
    RoundTrips trips;
    auto time = [&](std::function<void(WindowOperations&, int)> call) {
        Clock::time_point start;
        Clock::time_point end;
        controller_->StartJobThread([&](JobContext& job) {
            start = Clock::now();
            for (int i = 1; i <= n; ++i) {
                call(job.Window(), i);
            }
            end = Clock::now();
        });
        RunUntil([this] { return JobFinished(); }, 600000);
        return MillisBetween(start, end) / n;
    };
    trips.setCellMs =
        time([](WindowOperations& window, int i) { window.ListSetCell(0, 5, NumberToText(i)); });
    trips.readMs = time([](WindowOperations& window, int) { window.GetProgress(); });
    controller_->Operations().ListClear();
    return trips;
}

double WindowDriver::IdleLongestGap(int ms) {
    TickProbe probe;
    probe.Start();
    Wait(ms);
    return probe.Stop();
}

}  // namespace bench
