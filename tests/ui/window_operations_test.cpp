// The window operations: their edge cases on the window thread, and calls from
// a job thread (order, waiting, stop, questions that leave the window usable).
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "text/codec.h"
#include "ui/book_list.h"
#include "ui/main_window.h"
#include "ui/progress_bar.h"
#include "ui/window_operations_qt.h"
#include "web/job_stop.h"

namespace {

Text Gbk(const char* utf8) {
    return Utf8ToGbk(utf8);
}

// A job on a thread of its own, bound to its stop token like a real job.
class Job {
  public:
    explicit Job(std::function<void()> body)
        : thread_([this, body = std::move(body)](std::stop_token stop) {
              ScopedJobStop bound(stop);
              body();
              done_ = true;
          }) {}

    bool Done() const { return done_; }
    void Stop() { thread_.request_stop(); }

    // Waits without running the window thread's events, so only the job's own
    // wake-up (not a call the window thread ran or dropped) can end the wait.
    bool DoneWithoutEvents(std::chrono::seconds limit = std::chrono::seconds(10)) const {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done_ && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return done_;
    }

  private:
    std::atomic<bool> done_{false};
    std::jthread thread_;  // last: joins (after a stop request) before done_ goes
};

QMessageBox* OpenBox() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

}  // namespace

class WindowOperationsTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        window_ = std::make_unique<MainWindow>();
        ops_ = std::make_unique<QtWindowOperations>(*window_);
    }
    void cleanup() {
        // A failed check may leave a box open; the next test must not find it.
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (qobject_cast<QMessageBox*>(w) != nullptr) {
                delete w;
            }
        }
        ops_.reset();
        window_.reset();
    }

    void progressIsStoredClampedAndShownClamped_data();
    void progressIsStoredClampedAndShownClamped();
    void timerPeriods();
    void rowsAndCells();
    void selectRowMakesOneSelectedCurrentAndVisible();
    void movedHeadingKeepsColumnIndex();
    void statusMenuAndJobInputs();
    void jobCallsTakeEffectInOrder();
    void stoppedJobCallsReturnAtOnceAndAreDropped();
    void callsQueuedWhenTheWindowGoesAreDropped();
    void aJobCallingWithoutPauseLeavesTheWindowItsEvents();
    void questionFromJobLeavesTheWindowUsable_data();
    void questionFromJobLeavesTheWindowUsable();
    void stopClosesTheOpenQuestion();
    void messagesFromJob_data();
    void messagesFromJob();
    void questionOnTheWindowThreadIsModal();

  private:
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<QtWindowOperations> ops_;
};

void WindowOperationsTest::progressIsStoredClampedAndShownClamped_data() {
    QTest::addColumn<int>("set");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("shown");
    QTest::newRow("in range") << 42 << 42 << 42;
    QTest::newRow("full") << 100 << 100 << 100;
    QTest::newRow("above the bar") << 150 << 150 << 100;
    QTest::newRow("negative") << -5 << 0 << 0;
    QTest::newRow("above 32767") << 40000 << 32767 << 100;
}

void WindowOperationsTest::progressIsStoredClampedAndShownClamped() {
    QFETCH(int, set);
    QFETCH(int, stored);
    QFETCH(int, shown);
    ops_->SetProgress(37);
    ops_->SetProgress(set);
    QCOMPARE(ops_->GetProgress(), stored);
    QCOMPARE(window_->ProgressBar()->value(), shown);
}

void WindowOperationsTest::timerPeriods() {
    QTimer* fetch = window_->FetchTimer();
    QTimer* download = window_->DownloadTimer();

    ops_->SetTimerPeriod(JobTimer::Fetch, -3);
    ops_->SetTimerPeriod(JobTimer::Fetch, 0);
    QVERIFY(!fetch->isActive());

    ops_->SetTimerPeriod(JobTimer::Fetch, 10000);
    QVERIFY(fetch->isActive());
    QCOMPARE(fetch->interval(), 10000);
    QVERIFY(!download->isActive());

    // The same period again keeps the rhythm: no restart, so less time remains.
    QTest::qWait(500);
    ops_->SetTimerPeriod(JobTimer::Fetch, 10000);
    QVERIFY2(fetch->remainingTime() <= 9600, qPrintable(QString::number(fetch->remainingTime())));

    // Another period restarts it, the first tick a full period away.
    ops_->SetTimerPeriod(JobTimer::Fetch, 20000);
    QCOMPARE(fetch->interval(), 20000);
    QVERIFY(fetch->remainingTime() > 19000);

    ops_->SetTimerPeriod(JobTimer::Fetch, -1);
    QVERIFY(!fetch->isActive());

    QSignalSpy ticks(window_.get(), &MainWindow::DownloadTimerTicked);
    ops_->SetTimerPeriod(JobTimer::Download, 10);
    QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= 2, 10000);
    ops_->SetTimerPeriod(JobTimer::Download, 0);
    QVERIFY(!download->isActive());
}

void WindowOperationsTest::rowsAndCells() {
    BookListView* list = window_->BookList();
    QCOMPARE(ops_->ListAddRow(), 0);
    QCOMPARE(ops_->ListAddRow(), 1);
    QCOMPARE(ops_->ListAddRow(), 2);
    QCOMPARE(ops_->ListAddRow(), 3);

    const Text name = Gbk("《鬼吹灯》");
    ops_->ListSetCell(1, 2, name);
    ops_->ListSetCell(3, 6, Gbk("下载完成"));
    QCOMPARE(list->item(1, 2)->text(), QStringLiteral("《鬼吹灯》"));
    QCOMPARE(ops_->ListGetCell(1, 2), name);
    QCOMPARE(ops_->ListGetCell(3, 6), Gbk("下载完成"));
    // A huge cell from the site is kept whole but shown cut short.
    const Text longCell(100000, 'x');
    ops_->ListSetCell(0, 5, longCell);
    QCOMPARE(ops_->ListGetCell(0, 5), longCell);
    QCOMPARE(list->item(0, 5)->text().size(), BookListView::MaxShownLength);

    // Rows and columns that do not exist: nothing changes, reads are empty.
    const auto cells = [list] {
        QStringList all;
        for (int r = 0; r < list->rowCount(); ++r) {
            for (int c = 0; c < list->columnCount(); ++c) {
                all << list->item(r, c)->text();
            }
        }
        return all;
    };
    const QStringList before = cells();
    const std::pair<int, int> missing[] = {{4, 0}, {-1, 2}, {1, 7}, {1, -1}, {100, 100}};
    for (const auto& [row, column] : missing) {
        ops_->ListSetCell(row, column, "x");
        QCOMPARE(ops_->ListGetCell(row, column), Text());
    }
    QCOMPARE(list->columnCount(), 7);
    QCOMPARE(cells(), before);

    ops_->ListDeleteRow(0);
    ops_->ListDeleteRow(3);
    ops_->ListDeleteRow(-1);
    QCOMPARE(list->rowCount(), 3);
    QCOMPARE(ops_->ListGetCell(0, 2), name);

    ops_->ListClear();
    QCOMPARE(list->rowCount(), 0);
    QCOMPARE(ops_->ListAddRow(), 0);
}

void WindowOperationsTest::selectRowMakesOneSelectedCurrentAndVisible() {
    BookListView* list = window_->BookList();
    for (int i = 0; i < 60; ++i) {
        ops_->ListAddRow();
    }
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    QSignalSpy focused(window_.get(), &MainWindow::BookListRowFocused);
    const auto visible = [list](int row) {
        return list->viewport()->rect().contains(list->visualItemRect(list->item(row, 0)));
    };

    ops_->ListSelectRow(3);
    ops_->ListSelectRow(55);
    QCOMPARE(ops_->ListSelectedRow(), 55);
    QCOMPARE(list->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(list->currentRow(), 55);
    QVERIFY(visible(55));
    QCOMPARE(focused.size(), 2);
    QCOMPARE(focused.last().at(0).toInt(), 55);

    // Already current: selected again, but the focus does not move.
    list->scrollToTop();
    ops_->ListSelectRow(-1);
    QCOMPARE(ops_->ListSelectedRow(), -1);
    QVERIFY(list->selectedItems().isEmpty());
    ops_->ListSelectRow(55);
    QCOMPARE(ops_->ListSelectedRow(), 55);
    QCOMPARE(focused.size(), 2);
    QVERIFY(visible(55));

    ops_->ListSelectRow(60);
    QCOMPARE(ops_->ListSelectedRow(), 55);

    list->scrollToTop();
    QVERIFY(!visible(59));
    ops_->ListEnsureVisible(59);
    QVERIFY(visible(59));
    ops_->ListEnsureVisible(60);
    ops_->ListEnsureVisible(-1);
}

void WindowOperationsTest::movedHeadingKeepsColumnIndex() {
    QHeaderView* header = window_->BookList()->horizontalHeader();
    header->moveSection(3, 0);  // 作者 to the front
    QCOMPARE(header->logicalIndex(0), 3);
    ops_->ListAddRow();
    ops_->ListSetCell(0, 3, Gbk("天下霸唱"));
    QCOMPARE(window_->BookList()->item(0, 3)->text(), QStringLiteral("天下霸唱"));
    QCOMPARE(window_->BookList()->item(0, 0)->text(), QString());
    QCOMPARE(ops_->ListGetCell(0, 3), Gbk("天下霸唱"));
}

void WindowOperationsTest::statusMenuAndJobInputs() {
    ops_->SetStatusText(Text(100000, 'x'));
    QCOMPARE(window_->StatusText().size(), 259);
    ops_->SetStatusText(Gbk("状态：正在获取  0/0（0%）"));
    QCOMPARE(window_->StatusText(), QStringLiteral("状态：正在获取  0/0（0%）"));

    ops_->SetMenuItemEnabled(MenuItem::DownloadSelected, false);
    ops_->SetMenuItemEnabled(MenuItem::DeleteSelected, false);
    QVERIFY(!window_->MenuAction(MenuItem::DownloadSelected)->isEnabled());
    QVERIFY(!window_->MenuAction(MenuItem::DeleteSelected)->isEnabled());
    QVERIFY(window_->MenuAction(MenuItem::Pause)->isEnabled());
    ops_->SetMenuItemEnabled(MenuItem::DownloadSelected, true);
    QVERIFY(window_->MenuAction(MenuItem::DownloadSelected)->isEnabled());

    JobInputs opening = ops_->ReadJobInputs();
    QVERIFY(opening.byName && !opening.byId && !opening.byCategory);
    QCOMPARE(opening.name, Gbk("例：鬼吹灯"));
    QCOMPARE(opening.id, Gbk("例：16112"));
    QCOMPARE(opening.pages, Text("1"));
    QCOMPARE(opening.category, Gbk("最新更新"));

    window_->ByCategoryRadio()->setChecked(true);
    window_->PageBox()->setText(QStringLiteral("3"));
    window_->CategoryCombo()->setCurrentIndex(9);
    const JobInputs changed = ops_->ReadJobInputs();
    QVERIFY(!changed.byName && !changed.byId && changed.byCategory);
    QCOMPARE(changed.pages, Text("3"));
    QCOMPARE(changed.category, Gbk("军事小说"));
}

void WindowOperationsTest::jobCallsTakeEffectInOrder() {
    constexpr int Rows = 30;
    std::vector<int> added;
    std::vector<Text> readBack;
    int progress = -1;
    JobInputs inputs;
    window_->IdBox()->setText(QStringLiteral("16112"));
    Job job([&] {
        for (int i = 0; i < Rows; ++i) {
            const int row = ops_->ListAddRow();
            added.push_back(row);
            ops_->ListSetCell(row, 1, NumberToText(i));
            readBack.push_back(ops_->ListGetCell(row, 1));
            ops_->ListSelectRow(row);
        }
        ops_->SetProgress(77);
        progress = ops_->GetProgress();
        ops_->SetStatusText(Gbk("状态：获取完成"));
        inputs = ops_->ReadJobInputs();
    });
    QTRY_VERIFY_WITH_TIMEOUT(job.Done(), 20000);

    QCOMPARE(window_->BookList()->rowCount(), Rows);
    QCOMPARE(int(added.size()), Rows);
    for (int i = 0; i < Rows; ++i) {
        QCOMPARE(added[i], i);
        QCOMPARE(readBack[i], NumberToText(i));
        QCOMPARE(window_->BookList()->item(i, 1)->text(), QString::number(i));
    }
    QCOMPARE(ops_->ListSelectedRow(), Rows - 1);
    QCOMPARE(progress, 77);
    QCOMPARE(window_->StatusText(), QStringLiteral("状态：获取完成"));
    QCOMPARE(inputs.id, Text("16112"));
}

void WindowOperationsTest::stoppedJobCallsReturnAtOnceAndAreDropped() {
    std::atomic<bool> calling{false};
    int first = 0;
    int second = 0;
    Job job([&] {
        calling = true;
        first = ops_->ListAddRow();  // waits: the window thread is busy below
        second = ops_->ListAddRow();
        ops_->SetStatusText(Gbk("状态：获取完成"));
    });
    // Keep the window thread from running events while the job posts its call.
    while (!calling) {
        std::this_thread::yield();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    job.Stop();
    QVERIFY(job.DoneWithoutEvents());
    QCOMPARE(first, -1);
    QCOMPARE(second, -1);

    // The call queued before the stop reaches the window thread now, and is dropped.
    QTest::qWait(50);
    QCOMPARE(window_->BookList()->rowCount(), 0);
    QCOMPARE(window_->StatusText(), QStringLiteral("状态：准备就绪"));
}

void WindowOperationsTest::callsQueuedWhenTheWindowGoesAreDropped() {
    std::atomic<bool> calling{false};
    std::atomic<int> added{0};
    Job job([&] {
        calling = true;
        added = ops_->ListAddRow();  // queued; the window thread runs no events
    });
    while (!calling) {
        std::this_thread::yield();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    QVERIFY(!job.Done());
    // The window goes with the call still queued: the job is released, the
    // call never runs.
    window_.reset();
    QVERIFY(job.DoneWithoutEvents());
    QCOMPARE(added.load(), -1);
    ops_.reset();
    QTest::qWait(20);
}

void WindowOperationsTest::aJobCallingWithoutPauseLeavesTheWindowItsEvents() {
    // The window thread runs a job's calls back to back while they come, but
    // not for so long that its timers stop ticking.
    std::atomic<int> ticks{0};
    QTimer timer;
    connect(&timer, &QTimer::timeout, this, [&] { ++ticks; });
    timer.start(10);
    std::atomic<long> calls{0};
    Job job([&] {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (ticks < 5 && std::chrono::steady_clock::now() < giveUp) {
            ops_->GetProgress();
            ++calls;
        }
    });
    QTRY_VERIFY_WITH_TIMEOUT(job.Done(), 30000);
    QVERIFY2(ticks >= 5, qPrintable(QStringLiteral("%1 ticks in %2 calls").arg(ticks).arg(calls)));
}

void WindowOperationsTest::questionFromJobLeavesTheWindowUsable_data() {
    QTest::addColumn<QMessageBox::StandardButton>("button");
    QTest::addColumn<bool>("answer");
    QTest::newRow("yes") << QMessageBox::Yes << true;
    QTest::newRow("no") << QMessageBox::No << false;
}

void WindowOperationsTest::questionFromJobLeavesTheWindowUsable() {
    QFETCH(QMessageBox::StandardButton, button);
    QFETCH(bool, answer);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));

    std::atomic<bool> result{!answer};
    Job job([&] { result = ops_->AskYesNo(Gbk("是否同时删除文件？<b>")); });
    QMessageBox* box = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((box = OpenBox()) != nullptr, 10000);
    QCOMPARE(box->windowTitle(), QStringLiteral("信息："));
    QCOMPARE(box->text(), QStringLiteral("是否同时删除文件？<b>"));
    QCOMPARE(box->textFormat(), Qt::PlainText);
    QCOMPARE(box->icon(), QMessageBox::Question);
    QCOMPARE(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
    QVERIFY(!(box->windowFlags() & Qt::WindowCloseButtonHint));
    QCOMPARE(box->windowModality(), Qt::NonModal);
    QVERIFY(box->parentWidget() == nullptr);

    // Neither Escape nor a close request answers the question.
    QTest::keyClick(box, Qt::Key_Escape);
    box->close();
    QTest::qWait(50);
    QVERIFY(box->isVisible());
    QVERIFY(!job.Done());

    // The window takes clicks and its timers tick while the job waits.
    QSignalSpy fetches(window_.get(), &MainWindow::FetchButtonClicked);
    QSignalSpy ticks(window_.get(), &MainWindow::FetchTimerTicked);
    QTest::mouseClick(window_->FetchButton(), Qt::LeftButton);
    QCOMPARE(fetches.size(), 1);
    ops_->SetTimerPeriod(JobTimer::Fetch, 10);
    QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= 2, 10000);
    ops_->ListAddRow();
    QCOMPARE(window_->BookList()->rowCount(), 1);

    QTest::mouseClick(box->button(button), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(job.Done(), 10000);
    QCOMPARE(result.load(), answer);
    QTRY_VERIFY(OpenBox() == nullptr);
}

void WindowOperationsTest::stopClosesTheOpenQuestion() {
    std::atomic<bool> result{true};
    std::atomic<bool> after{false};
    Job job([&] {
        result = ops_->AskYesNo(Gbk("是否重新下载？"));
        ops_->ListAddRow();
        after = true;
    });
    QPointer<QMessageBox> box;
    QTRY_VERIFY_WITH_TIMEOUT((box = OpenBox()) != nullptr, 10000);
    job.Stop();
    QVERIFY(job.DoneWithoutEvents());
    QVERIFY(!result);
    QVERIFY(after);
    QTRY_VERIFY_WITH_TIMEOUT(box.isNull() || !box->isVisible(), 10000);
    QCOMPARE(window_->BookList()->rowCount(), 0);
}

void WindowOperationsTest::messagesFromJob_data() {
    QTest::addColumn<bool>("info");
    QTest::addColumn<QMessageBox::Icon>("icon");
    QTest::newRow("ShowMessage") << false << QMessageBox::NoIcon;
    QTest::newRow("ShowInfo") << true << QMessageBox::Information;
}

void WindowOperationsTest::messagesFromJob() {
    QFETCH(bool, info);
    QFETCH(QMessageBox::Icon, icon);
    const Text text = Gbk("删除文件成功！");
    Job job([&] { info ? ops_->ShowInfo(text) : ops_->ShowMessage(text); });
    QMessageBox* box = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((box = OpenBox()) != nullptr, 10000);
    QCOMPARE(box->windowTitle(), QStringLiteral("信息："));
    QCOMPARE(box->text(), QStringLiteral("删除文件成功！"));
    QCOMPARE(box->icon(), icon);
    QCOMPARE(box->standardButtons(), QMessageBox::Ok);
    QTest::qWait(50);
    QVERIFY(!job.Done());
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(job.Done(), 10000);
}

void WindowOperationsTest::questionOnTheWindowThreadIsModal() {
    bool checked = false;
    // A job's calls still take effect while the window thread's question is open.
    Job job([&] { ops_->ListAddRow(); });
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        QMessageBox* box = OpenBox();
        if (box == nullptr || !job.Done()) {
            return;
        }
        poll.stop();
        checked = box->windowModality() == Qt::ApplicationModal &&
                  !(box->windowFlags() & Qt::WindowCloseButtonHint) &&
                  window_->BookList()->rowCount() == 1;
        QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
    });
    poll.start(10);
    QVERIFY(!ops_->AskYesNo(Gbk("是否打开文件夹？")));
    QVERIFY(checked);
}

QTEST_MAIN(WindowOperationsTest)
#include "window_operations_test.moc"
