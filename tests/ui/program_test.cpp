// The whole program through the real window (offscreen) against the sample
// site on loopback: fetch, right click, download, delete, the timers, the
// placeholders, stopping and closing.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

#include "site/download_job.h"
#include "site/site_profile.h"
#include "text/codec.h"
#include "text/files.h"
#include "tools/sample-site/sample_site.h"
#include "tools/sample-site/site_content.h"
#include "ui/book_list.h"
#include "ui/main_window.h"
#include "ui/window_controller.h"

namespace fs = std::filesystem;

namespace {

QMessageBox* OpenBox() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

// Answers the next message box, also one that opens modally on the window
// thread, and remembers its text.
class BoxAnswerer : public QObject {
  public:
    BoxAnswerer(QMessageBox::StandardButton button, QString* text) : button_(button), text_(text) {
        connect(&poll_, &QTimer::timeout, this, [this] {
            if (QMessageBox* box = OpenBox()) {
                if (text_ != nullptr) {
                    *text_ = box->text();
                }
                poll_.stop();
                answered_ = true;
                box->button(button_)->click();
            }
        });
        poll_.start(10);
    }
    bool Answered() const { return answered_; }

  private:
    QTimer poll_;
    QMessageBox::StandardButton button_;
    QString* text_;
    bool answered_ = false;
};

QString U(std::string_view gbk) {
    return QString::fromStdString(GbkToUtf8(gbk));
}

}  // namespace

class ProgramTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        site_ = std::make_unique<sample_site::SampleSite>();
        QVERIFY(site_->Start());
        sample_site::UseAsHttpProxy(site_->BaseUrl());
        root_ = fs::temp_directory_path() / ("program_test_" + std::to_string(::getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_);
        window_ = std::make_unique<MainWindow>();
        controller_ = std::make_unique<WindowController>(*window_, Utf8ToGbk(root_.string()));
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
    void cleanup() {
        controller_.reset();
        window_.reset();
        site_.reset();
        fs::remove_all(root_);
    }

    void fetchByIdDownloadAndDelete() {
        QTest::mouseClick(window_->ByIdRadio(), Qt::LeftButton);
        window_->IdBox()->setText("1001");
        QTest::mouseClick(window_->FetchButton(), Qt::LeftButton);
        BookListView* list = window_->BookList();
        QTRY_COMPARE_WITH_TIMEOUT(window_->StatusText(), QStringLiteral("状态：获取完成"), 20000);
        QCOMPARE(list->rowCount(), 1);
        const auto book = sample_site::FindBook("1001");
        QCOMPARE(list->Cell(0, 2), U(BookNameOf(book->Name)));
        QCOMPARE(list->SelectedRow(), 0);
        QTRY_VERIFY(!window_->FetchTimer()->isActive());

        // Right click on the row, then 下载选中 from the popup.
        const QRect rowRect = list->visualItemRect(list->item(0, 2));
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, rowRect.center());
        QTRY_VERIFY(window_->ListMenu()->isVisible());
        QString question;
        BoxAnswerer no(QMessageBox::No, &question);
        window_->MenuAction(MenuItem::DownloadSelected)->trigger();
        window_->ListMenu()->close();
        QVERIFY(!window_->MenuAction(MenuItem::DownloadSelected)->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(no.Answered(), 30000);
        QCOMPARE(question, U(BookNameOf(book->Name)) + QStringLiteral(" 下载完成，是否查看？"));
        QTRY_COMPARE(window_->StatusText(), QStringLiteral("状态：下载完成"));
        QCOMPARE(list->Cell(0, 6), QStringLiteral("下载完成"));
        QCOMPARE(list->Cell(0, 5), QString::number(book->Chapters));
        // The job enables the two items last, after the status text.
        QTRY_VERIFY(window_->MenuAction(MenuItem::DownloadSelected)->isEnabled());
        QTRY_VERIFY(window_->MenuAction(MenuItem::DeleteSelected)->isEnabled());
        const fs::path folder = root_ / GbkToUtf8(SafeName(BookNameOf(book->Name)));
        QCOMPARE(static_cast<int>(std::distance(fs::directory_iterator(folder), {})),
                 book->Chapters);

        // 删除选中, answering No: the row goes, the folder stays.
        QString info;
        {
            BoxAnswerer keep(QMessageBox::No, &question);
            BoxAnswerer* ok = nullptr;
            QTimer::singleShot(0, this, [&] {
                // The info box comes after the question; answer it once that is gone.
                QTimer::singleShot(300, this,
                                   [&] { ok = new BoxAnswerer(QMessageBox::Ok, &info); });
            });
            window_->MenuAction(MenuItem::DeleteSelected)->trigger();
            QTRY_VERIFY(ok != nullptr && ok->Answered());
            delete ok;
        }
        QCOMPARE(question, QStringLiteral("是否同时删除文件？"));
        QCOMPARE(info, QStringLiteral("删除记录成功！"));
        QCOMPARE(list->rowCount(), 0);
        QVERIFY(fs::is_directory(folder));

        // Fetch it again and delete with Yes: the folder goes too.
        QTest::mouseClick(window_->FetchButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(list->rowCount(), 1, 20000);
        QTRY_COMPARE(window_->StatusText(), QStringLiteral("状态：获取完成"));
        list->setCurrentCell(0, 2);
        {
            BoxAnswerer yes(QMessageBox::Yes, &question);
            BoxAnswerer* ok = nullptr;
            QTimer::singleShot(300, this, [&] { ok = new BoxAnswerer(QMessageBox::Ok, &info); });
            window_->MenuAction(MenuItem::DeleteSelected)->trigger();
            QTRY_VERIFY(ok != nullptr && ok->Answered());
            delete ok;
        }
        QCOMPARE(info, QStringLiteral("删除文件成功！"));
        QVERIFY(!fs::exists(folder));
        QCOMPARE(list->rowCount(), 0);
    }

    void searchByNameAndCategoryFillTheList() {
        window_->NameBox()->setText(QStringLiteral("鬼吹灯"));
        QTest::mouseClick(window_->FetchButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(window_->StatusText(), QStringLiteral("状态：获取完成"), 20000);
        QCOMPARE(window_->BookList()->rowCount(), 7);
        QCOMPARE(window_->BookList()->SelectedRow(), 6);
        QCOMPARE(window_->BookList()->Cell(6, 0), QStringLiteral("7"));

        QTest::mouseClick(window_->ByCategoryRadio(), Qt::LeftButton);
        QVERIFY(window_->PageBox()->isEnabled());
        window_->CategoryCombo()->setCurrentIndex(2);  // 都市情感
        window_->PageBox()->setText("1");
        QTest::mouseClick(window_->FetchButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(window_->StatusText(), QStringLiteral("状态：获取完成"), 20000);
        QCOMPARE(window_->BookList()->rowCount(), 30);  // the old rows went first
        QCOMPARE(window_->BookList()->Cell(0, 0), QStringLiteral("1"));
        QTest::mouseClick(window_->ByNameRadio(), Qt::LeftButton);
        QVERIFY(!window_->PageBox()->isEnabled());
    }

    void emptyBoxesAskForInputAndPlaceholdersComeAndGo() {
        QLineEdit* name = window_->NameBox();
        // Only a really empty box is refused.
        name->setText(QString());
        QString message;
        {
            BoxAnswerer ok(QMessageBox::Ok, &message);
            QTest::mouseClick(window_->FetchButton(), Qt::LeftButton);
            QTRY_VERIFY(ok.Answered());
        }
        QCOMPARE(message, QStringLiteral("请填写图书名"));
        QCOMPARE(window_->StatusText(), QStringLiteral("状态：准备就绪"));

        // Focus empties a box that shows its example; leaving it empty brings
        // the grey example back, before a click of the button is handled: the
        // example is then searched for like any text.
        name->setText(QStringLiteral("例：鬼吹灯"));
        MainWindow::SetBoxTextColour(name, QColor(192, 192, 192));
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        name->setFocus();
        QTRY_VERIFY(name->hasFocus());
        QCOMPARE(name->text(), QString());
        QCOMPARE(MainWindow::BoxTextColour(name), QColor(0, 136, 255));
        QTest::mouseClick(window_->FetchButton(), Qt::LeftButton);
        QCOMPARE(name->text(), QStringLiteral("例：鬼吹灯"));
        QCOMPARE(MainWindow::BoxTextColour(name), QColor(192, 192, 192));
        QTRY_COMPARE_WITH_TIMEOUT(window_->StatusText(), QStringLiteral("状态：获取失败"), 20000);
        QVERIFY(site_->Requests().front().Target.find("%C0%FD%A3%BA%B9%ED%B4%B5%B5%C6") !=
                std::string::npos);

        // A typed text equal to the example keeps its colour and is not cleared.
        name->setFocus();
        QTRY_VERIFY(name->hasFocus());
        name->insert(QStringLiteral("例：鬼吹灯"));  // as typed: keyClicks takes ASCII only
        window_->IdBox()->setFocus();
        QTRY_VERIFY(window_->IdBox()->hasFocus());
        QCOMPARE(window_->IdBox()->text(), QString());
        name->setFocus();
        QTRY_VERIFY(name->hasFocus());
        QCOMPARE(name->text(), QStringLiteral("例：鬼吹灯"));
        QCOMPARE(MainWindow::BoxTextColour(name), QColor(0, 136, 255));
    }

    void progressTickPercentages() {
        JobState& state = window_->Jobs();
        const Text running = Utf8ToGbk("状态：正在获取  ");
        const Text done = Utf8ToGbk("状态：获取完成");
        window_->FetchTimer()->start(100);
        state.TotalCount = 100;
        state.DoneCount = 29;
        controller_->ProgressTick(JobTimer::Fetch, running, done);
        QCOMPARE(controller_->Operations().GetProgress(), 28);
        QCOMPARE(window_->StatusText(), QStringLiteral("状态：正在获取  29/100（28%）"));
        QVERIFY(window_->FetchTimer()->isActive());
        state.TotalCount = 0;
        state.DoneCount = 0;
        controller_->ProgressTick(JobTimer::Fetch, running, done);
        QCOMPARE(window_->StatusText(), QStringLiteral("状态：正在获取  0/0（0%）"));
        state.TotalCount = 30;
        state.DoneCount = 31;
        controller_->ProgressTick(JobTimer::Fetch, running, done);
        QCOMPARE(controller_->Operations().GetProgress(), 103);
        QCOMPARE(window_->StatusText(), QStringLiteral("状态：获取完成"));
        QVERIFY(!window_->FetchTimer()->isActive());
    }

    void stopEndsAHangingFetchAndTheWindowStaysUsable() {
        QTest::mouseClick(window_->ByIdRadio(), Qt::LeftButton);
        window_->IdBox()->setText(QString::number(sample_site::special::NeverAnswers));
        QTest::mouseClick(window_->FetchButton(), Qt::LeftButton);
        QTRY_VERIFY(!site_->Requests().empty());
        // The window keeps ticking while the page never comes.
        QTRY_COMPARE(window_->StatusText(), QStringLiteral("状态：正在获取  0/1（0%）"));
        QElapsedTimer clock;
        clock.start();
        controller_->StopJob();
        QVERIFY2(clock.elapsed() < 2000, "StopJob waited for the page");
        QVERIFY(window_->Jobs().WorkerThread->Finished());
        // A new fetch runs at once.
        window_->IdBox()->setText("1002");
        QTest::mouseClick(window_->FetchButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(window_->StatusText(), QStringLiteral("状态：获取完成"), 20000);
        QCOMPARE(window_->BookList()->Cell(0, 1), QStringLiteral("1002"));
    }

    void closingTheWindowEndsAPausedJob() {
        QTest::mouseClick(window_->ByIdRadio(), Qt::LeftButton);
        window_->IdBox()->setText(QString::number(sample_site::special::Slow));
        QTest::mouseClick(window_->FetchButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(window_->StatusText(), QStringLiteral("状态：获取完成"), 20000);
        window_->MenuAction(MenuItem::DownloadSelected)->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!window_->BookList()->Cell(0, 5).isEmpty(), 20000);
        window_->MenuAction(MenuItem::Pause)->trigger();
        window_->MenuAction(MenuItem::Pause)->trigger();
        QElapsedTimer clock;
        clock.start();
        window_->close();
        QVERIFY(window_->Jobs().WorkerThread->Finished());
        QVERIFY2(clock.elapsed() < 2000, "closing waited for the paused job");
    }

  private:
    std::unique_ptr<sample_site::SampleSite> site_;
    fs::path root_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<WindowController> controller_;
};

QTEST_MAIN(ProgramTest)
#include "program_test.moc"
