// Handlers, timers and job control of the main window.
#include "ui/window_controller.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <system_error>

#include "site/catalogue_job.h"
#include "site/download_job.h"
#include "text/codec.h"
#include "text/files.h"

namespace {

Text G(std::string_view utf8) {
    return Utf8ToGbk(utf8);
}

const QColor PlaceholderColour(192, 192, 192);
const QColor TypedColour(0, 136, 255);
const QString NamePlaceholder = QStringLiteral("例：鬼吹灯");
const QString IdPlaceholder = QStringLiteral("例：16112");

}  // namespace

WindowController::WindowController(MainWindow& window, Text programDirectory)
    : window_(window), operations_(window), programDirectory_(std::move(programDirectory)) {
    ConnectEvents();
}

WindowController::~WindowController() {
    StopJob();
}

void WindowController::ConnectEvents() {
    connect(&window_, &MainWindow::FetchButtonClicked, this, &WindowController::FetchCommand);
    connect(&window_, &MainWindow::ByNameRadioClicked, this,
            [this] { window_.SetPageBoxEnabled(false); });
    connect(&window_, &MainWindow::ByIdRadioClicked, this,
            [this] { window_.SetPageBoxEnabled(false); });
    connect(&window_, &MainWindow::ByCategoryRadioClicked, this,
            [this] { window_.SetPageBoxEnabled(true); });
    connect(&window_, &MainWindow::NameBoxFocusIn, this,
            [this] { PlaceholderOff(window_.NameBox(), NamePlaceholder); });
    connect(&window_, &MainWindow::NameBoxFocusOut, this,
            [this] { PlaceholderOn(window_.NameBox(), NamePlaceholder); });
    connect(&window_, &MainWindow::IdBoxFocusIn, this,
            [this] { PlaceholderOff(window_.IdBox(), IdPlaceholder); });
    connect(&window_, &MainWindow::IdBoxFocusOut, this,
            [this] { PlaceholderOn(window_.IdBox(), IdPlaceholder); });
    connect(&window_, &MainWindow::BookListRightClicked, this,
            [this](const QPoint& pointer) { window_.PopupListMenu(pointer); });
    connect(&window_, &MainWindow::BookListRowFocused, this,
            [this](int) { operations_.ListEnsureVisible(operations_.ListSelectedRow()); });
    connect(&window_, &MainWindow::MenuItemChosen, this, [this](MenuItem item) {
        switch (item) {
            case MenuItem::DeleteSelected:
                DeleteCommand();
                break;
            case MenuItem::DownloadSelected:
                DownloadCommand();
                break;
            case MenuItem::Pause:
                PauseJob();
                break;
            case MenuItem::Continue:
                ResumeJob();
                break;
        }
    });
    connect(&window_, &MainWindow::FetchTimerTicked, this,
            [this] { ProgressTick(JobTimer::Fetch, G("状态：正在获取  "), G("状态：获取完成")); });
    connect(&window_, &MainWindow::DownloadTimerTicked, this, [this] {
        ProgressTick(JobTimer::Download, G("状态：正在下载  "), G("状态：下载完成"));
    });
    // Closing the window ends the job with it, before the window goes.
    connect(&window_, &MainWindow::Closed, this, &WindowController::StopJob);
}

void WindowController::StartJobThread(JobThread::Body job) {
    JobState& state = window_.Jobs();
    try {
        state.WorkerThread =
            std::make_shared<JobThread>(std::move(job), operations_, state, programDirectory_);
    } catch (const std::system_error&) {
        // No thread could be made: no job runs, and nothing says so.
        state.WorkerThread.reset();
    }
}

void WindowController::StopJob() {
    if (auto& worker = window_.Jobs().WorkerThread) {
        worker->Stop();
    }
}

void WindowController::PauseJob() {
    if (auto& worker = window_.Jobs().WorkerThread) {
        worker->Pause();
    }
}

void WindowController::ResumeJob() {
    if (auto& worker = window_.Jobs().WorkerThread) {
        worker->Resume();
    }
}

void WindowController::FetchCommand() {
    const JobInputs inputs = operations_.ReadJobInputs();
    if (inputs.byName && inputs.name.empty()) {
        operations_.ShowMessage(G("请填写图书名"));
        return;
    }
    if (inputs.byId && inputs.id.empty()) {
        operations_.ShowMessage(G("请填写图书ID"));
        return;
    }
    StopJob();
    operations_.SetMenuItemEnabled(MenuItem::DownloadSelected, true);
    operations_.SetMenuItemEnabled(MenuItem::DeleteSelected, true);
    operations_.SetProgress(0);
    operations_.SetTimerPeriod(JobTimer::Download, 0);
    operations_.SetTimerPeriod(JobTimer::Fetch, 100);
    operations_.ListClear();
    JobState& state = window_.Jobs();
    state.TotalCount = 0;
    state.DoneCount = 0;
    operations_.SetStatusText(G("状态：正在获取..."));
    StartJobThread(CatalogueJob);
}

void WindowController::DownloadCommand() {
    const int row = operations_.ListSelectedRow();
    if (row == -1 || operations_.ListGetCell(row, 2).empty()) {
        return;
    }
    StopJob();
    operations_.SetTimerPeriod(JobTimer::Fetch, 0);
    JobState& state = window_.Jobs();
    state.TotalCount = 0;
    state.DoneCount = 0;
    operations_.SetMenuItemEnabled(MenuItem::DownloadSelected, false);
    operations_.SetMenuItemEnabled(MenuItem::DeleteSelected, false);
    StartJobThread(DownloadJob);
}

void WindowController::DeleteCommand() {
    const int row = operations_.ListSelectedRow();
    if (row == -1) {
        return;
    }
    const Text name = operations_.ListGetCell(row, 2);
    if (name.empty()) {
        return;
    }
    // The same rule as the download job's, so the folder found is the one it made.
    const Text folder = JoinTexts({programDirectory_, "\\", SafeName(name)});
    Text message = G("删除记录成功！");
    if (FolderExists(folder) && operations_.AskYesNo(G("是否同时删除文件？"))) {
        message = DeleteFolderTree(folder) ? G("删除文件成功！") : G("删除文件失败！");
    }
    // The row chosen before the question, whatever a job selected meanwhile.
    operations_.ListDeleteRow(row);
    operations_.ShowInfo(message);
}

void WindowController::ProgressTick(JobTimer timer, const Text& runningText, const Text& doneText) {
    const JobState& state = window_.Jobs();
    const std::int32_t total = state.TotalCount;
    int percent = 0;
    if (total != 0) {
        // In doubles, then truncated: 29 of 100 gives 28.
        const double quotient = static_cast<double>(state.DoneCount) / static_cast<double>(total);
        percent = static_cast<int>(quotient * 100.0);
    }
    operations_.SetProgress(percent);
    operations_.SetStatusText(JoinTexts({runningText, NumberToText(state.DoneCount.load()), "/",
                                         NumberToText(state.TotalCount.load()), G("（"),
                                         NumberToText(operations_.GetProgress()), G("%）")}));
    if (operations_.GetProgress() >= 100) {
        operations_.SetStatusText(doneText);
        operations_.SetTimerPeriod(timer, 0);
    }
}

void WindowController::PlaceholderOff(QLineEdit* box, const QString& placeholder) {
    if (box->text() == placeholder && MainWindow::BoxTextColour(box) == PlaceholderColour) {
        box->clear();
        MainWindow::SetBoxTextColour(box, TypedColour);
    }
}

void WindowController::PlaceholderOn(QLineEdit* box, const QString& placeholder) {
    if (box->text().isEmpty()) {
        box->setText(placeholder);
        MainWindow::SetBoxTextColour(box, PlaceholderColour);
    }
}
