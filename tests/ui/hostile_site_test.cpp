// The whole program through the real window (offscreen) against the sample
// site's hostile pages: pages that never answer, connections reset in the
// middle of a body, bodies at and above the size cap, a redirect loop, bytes
// that are no GBK character, titles that are paths, control characters or
// 300 bytes long, links that repeat, and a book of 10,000 chapters. For every
// case: the window keeps ticking, nothing is written outside the program
// folder, no half-written file is left, and the status and the row say what
// is on disk. Each case logs what the window showed.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTimer>
#include <QtTest>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>

#include "site/page_parsers.h"
#include "site/site_profile.h"
#include "text/codec.h"
#include "text/files.h"
#include "tools/sample-site/sample_site.h"
#include "tools/sample-site/site_content.h"
#include "ui/book_list.h"
#include "ui/main_window.h"
#include "ui/window_controller.h"

namespace fs = std::filesystem;
namespace special = sample_site::special;

namespace {

// Generous bounds: the tests must pass on a slow, shared machine.
constexpr int ListTimeoutMs = 120'000;
constexpr int DownloadTimeoutMs = 240'000;
// A stop that waited for the fetch's own time-out (30 s of silence) would
// take far longer than this.
constexpr qint64 PromptStopMs = 5'000;
// The window counts as frozen when its event loop stood still this long.
constexpr qint64 FrozenMs = 10'000;

// Answers every message box as it opens: Yes to "download again?" and to
// "delete the files too?", OK to a message, No to everything else (a Yes to
// "open the folder?" would start a file manager).
class BoxAnswerer : public QObject {
  public:
    BoxAnswerer() {
        connect(&poll_, &QTimer::timeout, this, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(w);
                if (box == nullptr || !box->isVisible()) {
                    continue;
                }
                texts_ << box->text();
                const bool yes = box->text().endsWith(QStringLiteral(" 已存在，是否重新下载？")) ||
                                 box->text() == QStringLiteral("是否同时删除文件？");
                QAbstractButton* button = box->button(yes ? QMessageBox::Yes : QMessageBox::No);
                if (button == nullptr) {
                    button = box->button(QMessageBox::Ok);
                }
                button->click();
            }
        });
        poll_.start(10);
    }
    const QStringList& Texts() const { return texts_; }

  private:
    QTimer poll_;
    QStringList texts_;
};

// A 10 ms timer on the window thread: if a handler or an operation of the
// window blocks, its ticks stop, and the widest gap between two shows it.
class Ticker : public QObject {
  public:
    Ticker() {
        clock_.start();
        connect(&timer_, &QTimer::timeout, this, [this] {
            const qint64 now = clock_.elapsed();
            widest_ = std::max(widest_, now - last_);
            last_ = now;
            ++ticks_;
        });
        timer_.start(10);
    }
    int Ticks() const { return ticks_; }
    qint64 WidestGap() const { return std::max(widest_, clock_.elapsed() - last_); }

  private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 widest_ = 0;
    int ticks_ = 0;
};

// What a folder tree holds: relative path -> size (-1 for a folder).
using Tree = std::map<std::string, std::intmax_t>;

Tree Snapshot(const fs::path& root, const fs::path& skip) {
    Tree tree;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        const fs::path& path = it->path();
        std::error_code error;
        const bool folder = it->is_directory(error);
        const std::uintmax_t size = folder ? 0 : it->file_size(error);
        tree[fs::relative(path, root).string()] = folder ? -1 : static_cast<std::intmax_t>(size);
        if (path == skip) {
            it.disable_recursion_pending();
        }
    }
    return tree;
}

std::vector<fs::path> FilesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    if (fs::is_directory(folder)) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Empty when the program folder holds book folders only and each of those
// holds whole chapter files only, with harmless names; else what is wrong.
QString DiskFault(const fs::path& program) {
    QStringList faults;
    for (const auto& book : fs::directory_iterator(program)) {
        if (!book.is_directory() || book.is_symlink()) {
            faults << QStringLiteral("not a book folder: %1").arg(book.path().c_str());
            continue;
        }
        for (const fs::path& file : FilesIn(book.path())) {
            const std::string name = file.filename().string();
            const QString shown = QString::fromStdString(name);
            if (!fs::is_regular_file(fs::symlink_status(file))) {
                faults << QStringLiteral("not a file: %1").arg(shown);
            }
            if (name.starts_with(".part") || !name.ends_with(".txt")) {
                faults << QStringLiteral("not a chapter file: %1").arg(shown);
            }
            if (name.size() > 255 || name.find('\\') != std::string::npos ||
                std::any_of(name.begin(), name.end(),
                            [](char c) { return static_cast<unsigned char>(c) < 0x20; }) ||
                shown.contains(QChar(0x7F)) || shown.contains(QChar::ReplacementCharacter)) {
                faults << QStringLiteral("unsafe name: %1").arg(shown);
            }
        }
    }
    return faults.join(QStringLiteral("; "));
}

// The chapter page n of a book as the site serves it: title and cleaned text.
struct SiteChapter {
    Text title;
    Text text;
};
SiteChapter ChapterOnSite(int bookId, int n) {
    const std::string target =
        "/book" + std::to_string(bookId) + "_" + sample_site::ChapterId(bookId, n) + ".html";
    const ChapterPage page =
        ParseChapterPage(sample_site::RenderPage(sample_site::SiteHost::Book, target).Body);
    return {page.title, CleanChapterText(page.content)};
}

}  // namespace

class HostileSiteTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        site_ = std::make_unique<sample_site::SampleSite>();
        QVERIFY(site_->Start());
        sample_site::UseAsHttpProxy(site_->BaseUrl());
        // The program folder lies four levels down, so that a name that climbs
        // out of a book folder lands in the watched tree; a file beside it
        // shows anything that would delete outside.
        root_ = fs::temp_directory_path() / ("hostile_site_test_" + std::to_string(::getpid()));
        fs::remove_all(root_);
        program_ = root_ / "a" / "b" / "c" / "program";
        fs::create_directories(program_);
        std::ofstream(root_ / "a" / "b" / "beside.txt") << "keep";
        std::ofstream(root_ / "a" / "b" / "c" / "beside.txt") << "keep";
        // Another book on disk, which no case may touch.
        fs::create_directories(program_ / "《别的书》");
        std::ofstream(program_ / "《别的书》" / "第一章.txt") << "keep";
        window_ = std::make_unique<MainWindow>();
        controller_ = std::make_unique<WindowController>(*window_, Utf8ToGbk(program_.string()));
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        outsideBefore_ = Outside();
        ticker_ = std::make_unique<Ticker>();
    }
    void cleanup() {
        controller_.reset();
        window_.reset();
        site_.reset();
        ticker_.reset();
        fs::remove_all(root_);
    }

    // Every fault case of the site: listed (by id, or by name where the index
    // page cannot be fetched, so that a row exists), then downloaded.
    void listAndDownload_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("name");         // list by this name; empty: by id
        QTest::addColumn<QString>("listed");       // final status of the fetch
        QTest::addColumn<QString>("chapters");     // 章节数 of the row; empty: no row
        QTest::addColumn<bool>("bookOnDisk");      // an earlier download is on disk
        QTest::addColumn<QString>("downloadEnd");  // 下载状态 at the end; empty: no download
        QTest::addColumn<int>("files");            // chapter files of the new download
        const QString done = QStringLiteral("获取完成");
        const QString failed = QStringLiteral("获取失败");
        const QString complete = QStringLiteral("下载完成");
        const QString incomplete = QStringLiteral("下载未完成");
        const QString downloadFailed = QStringLiteral("下载失败");
        const QString noName;
        // clang-format off
        QTest::newRow("shared titles")            << special::SharedTitles << noName << done << "6" << false << complete << 6;
        QTest::newRow("path characters and ..")   << special::PathCharacters << noName << done << "12" << false << complete << 12;
        QTest::newRow("invalid GBK bytes")        << special::InvalidGbk << noName << done << "5" << false << incomplete << 4;
        QTest::newRow("slow pages")               << special::Slow << noName << done << "10" << false << complete << 10;
        QTest::newRow("index reset, by id")       << special::ResetIndex << noName << failed << "" << false << "" << 0;
        QTest::newRow("index reset, by name")     << special::ResetIndex << "连接重置测试" << done << "0" << true << downloadFailed << 0;
        QTest::newRow("chapter reset")            << special::ResetChapter << noName << done << "3" << false << incomplete << 2;
        QTest::newRow("chapter reset, again")     << special::ResetChapter << noName << done << "3" << true << incomplete << 2;
        QTest::newRow("above cap, by id")         << special::HugeWithLength << noName << failed << "" << false << "" << 0;
        QTest::newRow("above cap, by name")       << special::HugeWithLength << "超大页面测试" << done << "0" << true << downloadFailed << 0;
        QTest::newRow("above cap chunked, by id") << special::HugeChunked << noName << failed << "" << false << "" << 0;
        QTest::newRow("above cap chunked, name")  << special::HugeChunked << "超大分块页面测试" << done << "0" << false << downloadFailed << 0;
        QTest::newRow("at cap")                   << special::AtBodyLimit << noName << done << "0" << true << downloadFailed << 0;
        QTest::newRow("redirect loop, by id")     << special::RedirectLoop << noName << failed << "" << false << "" << 0;
        QTest::newRow("redirect loop, by name")   << special::RedirectLoop << "重定向循环测试" << done << "0" << true << downloadFailed << 0;
        QTest::newRow("repeated links")           << special::RepeatedLinks << noName << done << "32" << false << complete << 32;
        QTest::newRow("missing content marker")   << special::MissingContentMarker << noName << done << "3" << false << incomplete << 2;
        QTest::newRow("300 bytes and controls")   << special::LongAndControlTitles << noName << done << "4" << false << complete << 4;
        QTest::newRow("no chapters")              << special::NoChapters << noName << done << "0" << false << downloadFailed << 0;
        QTest::newRow("\\ and | as second bytes")  << special::PathTrailBytes << noName << done << "4" << false << complete << 4;
        QTest::newRow("no data")                  << special::NoData << noName << failed << "" << false << "" << 0;
        // clang-format on
    }

    void listAndDownload() {
        QFETCH(int, id);
        QFETCH(QString, name);
        QFETCH(QString, listed);
        QFETCH(QString, chapters);
        QFETCH(bool, bookOnDisk);
        QFETCH(QString, downloadEnd);
        QFETCH(int, files);

        BookListView* list = window_->BookList();
        QVERIFY(name.isEmpty() ? ListById(id) : ListByName(name));
        QCOMPARE(window_->StatusText(), QStringLiteral("状态：") + listed);
        QVERIFY(!window_->FetchTimer()->isActive());
        if (chapters.isEmpty()) {
            QCOMPARE(list->rowCount(), 0);
            CheckDisk();
            Log(QStringLiteral("%1: %2, no row, nothing on disk").arg(id).arg(StatusShown()));
            return;
        }
        QCOMPARE(list->rowCount(), 1);
        QCOMPARE(list->Cell(0, 1), QString::number(id));
        QCOMPARE(list->Cell(0, 4), chapters);
        const QString bookName = list->Cell(0, 2);
        const fs::path folder = BookFolder(bookName);
        // The job reads the name back from the row as GBK, where the U+FFFD
        // shown for a byte that is no character comes back as '?'.
        const QString askedName =
            QString::fromStdString(GbkToUtf8(Utf8ToGbk(bookName.toStdString())));

        // An earlier download of the book, with a chapter the site no longer gives.
        const fs::path earlier = folder / "旧章节.txt";
        if (bookOnDisk) {
            fs::create_directories(folder);
            std::ofstream(earlier) << "saved earlier";
        }

        BoxAnswerer answers;
        QVERIFY(DownloadRow(0));
        QStringList expectedQuestions;
        if (bookOnDisk) {
            expectedQuestions << askedName + QStringLiteral(" 已存在，是否重新下载？");
        }
        const std::vector<fs::path> onDisk = FilesIn(folder);
        const int chapterCount = chapters.toInt();
        QCOMPARE(list->Cell(0, 6), downloadEnd);
        QCOMPARE(window_->StatusText(), QStringLiteral("状态：") + downloadEnd);
        if (downloadEnd == QStringLiteral("下载失败")) {
            // The site failed: what was on disk is as it was, and nothing new.
            if (bookOnDisk) {
                QCOMPARE(onDisk, std::vector<fs::path>{earlier});
                QCOMPARE(ReadBytes(earlier), std::string("saved earlier"));
            } else {
                QVERIFY(!fs::exists(folder));
            }
        } else {
            // Every chapter file counted is on disk, and only those.
            QCOMPARE(static_cast<int>(onDisk.size()), files);
            QVERIFY(!fs::exists(earlier));
            QCOMPARE(list->Cell(0, 5), QString::number(files));
            const int missing = chapterCount - files;
            expectedQuestions
                << (missing == 0
                        ? askedName + QStringLiteral(" 下载完成，是否查看？")
                        : askedName +
                              QStringLiteral(" 下载未完成（缺%1章），是否查看？").arg(missing));
        }
        QCOMPARE(answers.Texts(), expectedQuestions);
        QVERIFY(!window_->DownloadTimer()->isActive());
        QVERIFY(window_->MenuAction(MenuItem::DownloadSelected)->isEnabled());
        QVERIFY(window_->MenuAction(MenuItem::DeleteSelected)->isEnabled());
        CheckDisk();

        if (id == special::InvalidGbk) {
            // File contents never pass the codec: the bytes that are no GBK
            // character reach the file as the site sent them.
            QVERIFY(std::any_of(onDisk.begin(), onDisk.end(), [](const fs::path& file) {
                const std::string bytes = ReadBytes(file);
                return bytes.find("\x80") != std::string::npos &&
                       bytes.find("\x81\x7F") != std::string::npos &&
                       bytes.find("\xFF\xFE") != std::string::npos;
            }));
        }
        if (id == special::RepeatedLinks) {
            CheckEveryChapterKept(id, 20, onDisk);
        }
        if (id == special::PathTrailBytes) {
            // The names reach the disk whole: no character split at its second byte.
            QCOMPARE(QString::fromStdString(folder.filename().string()),
                     QStringLiteral("《尾字节淺東测试》"));
            for (const char* file : {"第一章 淺.txt", "第二章 東西.txt", "乗乗.txt"}) {
                QVERIFY2(fs::is_regular_file(folder / file), file);
            }
        }
        const QString downloaded = list->Cell(0, 5);

        // 删除选中, answering Yes: the book's folder goes, and nothing else.
        if (fs::exists(folder)) {
            const qsizetype asked = answers.Texts().size();
            window_->MenuAction(MenuItem::DeleteSelected)->trigger();
            QVERIFY(RunUntil([&] { return answers.Texts().size() == asked + 2; }, ListTimeoutMs));
            QCOMPARE(answers.Texts().mid(asked), (QStringList{QStringLiteral("是否同时删除文件？"),
                                                              QStringLiteral("删除文件成功！")}));
            QCOMPARE(list->rowCount(), 0);
            QVERIFY(!fs::exists(folder));
            CheckDisk();
        }
        Log(QStringLiteral("%1: listed \"%2\" with 章节数 %3; %4, 下载状态 \"%5\", 已下载 \"%6\", "
                           "%7 files in the book folder")
                .arg(id)
                .arg(listed, chapters, StatusShown(), downloadEnd, downloaded)
                .arg(onDisk.size()));
    }

    // A book of 10,000 chapters: listed with its count, downloaded whole, and
    // the status moves all the way while the window keeps ticking.
    void tenThousandChapters() {
        QVERIFY(ListById(special::TenThousandChapters));
        BookListView* list = window_->BookList();
        QCOMPARE(window_->StatusText(), QStringLiteral("状态：获取完成"));
        QCOMPARE(list->Cell(0, 4), QStringLiteral("10000"));

        QSet<QString> shown;
        QTimer sampler;
        connect(&sampler, &QTimer::timeout, this, [&] { shown << window_->StatusText(); });
        sampler.start(50);
        BoxAnswerer answers;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(DownloadRow(0));
        sampler.stop();

        QCOMPARE(window_->StatusText(), QStringLiteral("状态：下载完成"));
        QCOMPARE(list->Cell(0, 6), QStringLiteral("下载完成"));
        QCOMPARE(list->Cell(0, 5), QStringLiteral("10000"));
        QCOMPARE(static_cast<int>(FilesIn(BookFolder(list->Cell(0, 2))).size()), 10000);
        QCOMPARE(answers.Texts(), QStringList{list->Cell(0, 2) + " 下载完成，是否查看？"});
        int running = 0;
        for (const QString& text : shown) {
            running += text.startsWith(QStringLiteral("状态：正在下载  ")) ? 1 : 0;
        }
        QVERIFY2(running >= 5, "the status did not move while the chapters came in");
        CheckDisk();
        Log(QStringLiteral("10,000 chapters in %1 s; %2 running texts seen; %3")
                .arg(clock.elapsed() / 1000.0, 0, 'f', 1)
                .arg(running)
                .arg(StatusShown()));
    }

    // An index page that never answers: the window goes on ticking, and the
    // next Fetch stops the job at once.
    void fetchStopsAPageThatNeverAnswers() {
        Fetch(window_->ByIdRadio(), window_->IdBox(), QString::number(special::NeverAnswers));
        QVERIFY(RunUntil([&] { return RequestedIndexOf(special::NeverAnswers); }, ListTimeoutMs));
        ExpectTicking(window_->FetchTimer(), &MainWindow::FetchTimerTicked);
        QCOMPARE(window_->StatusText(), QStringLiteral("状态：正在获取  0/1（0%）"));

        qint64 stopMs = 0;
        FetchOverHangingJob(stopMs);
        if (QTest::currentTestFailed()) {
            return;
        }
        QCOMPARE(window_->BookList()->Cell(0, 1), QStringLiteral("1002"));

        // Closing the window ends a job that waits for such a page at once too.
        site_->ClearRequests();
        Fetch(window_->ByIdRadio(), window_->IdBox(), QString::number(special::NeverAnswers));
        QVERIFY(RunUntil([&] { return RequestedIndexOf(special::NeverAnswers); }, ListTimeoutMs));
        QElapsedTimer clock;
        clock.start();
        window_->close();
        const qint64 closeMs = clock.elapsed();
        QVERIFY(window_->Jobs().WorkerThread->Finished());
        QVERIFY2(closeMs < PromptStopMs, qPrintable(QString::number(closeMs)));
        CheckDisk();
        Log(QStringLiteral("never answering index: Fetch stopped it in %1 ms, closing in %2 ms")
                .arg(stopMs)
                .arg(closeMs));
    }

    // A search that hangs on its fifth book: 下载选中 on a row already listed
    // stops it at once and downloads that book.
    void downloadStopsASearchThatHangs() {
        Fetch(window_->ByNameRadio(), window_->NameBox(), QStringLiteral("测试"));
        QVERIFY(RunUntil([&] { return RequestedIndexOf(special::NeverAnswers); }, ListTimeoutMs));
        BookListView* list = window_->BookList();
        QCOMPARE(list->rowCount(), 4);  // 9001 to 9004
        ExpectTicking(window_->FetchTimer(), &MainWindow::FetchTimerTicked);

        BoxAnswerer answers;
        list->setCurrentCell(0, 2);
        const std::shared_ptr<JobThread> hanging = window_->Jobs().WorkerThread;
        QElapsedTimer clock;
        clock.start();
        window_->MenuAction(MenuItem::DownloadSelected)->trigger();
        const qint64 stopMs = clock.elapsed();
        QVERIFY(hanging->Finished());  // stopped by the command itself
        QVERIFY2(stopMs < PromptStopMs, qPrintable(QString::number(stopMs)));
        QVERIFY(WaitForJobEnd(DownloadTimeoutMs));
        QCOMPARE(list->rowCount(), 4);
        QCOMPARE(list->Cell(0, 1), QString::number(special::SharedTitles));
        QCOMPARE(list->Cell(0, 6), QStringLiteral("下载完成"));
        QCOMPARE(window_->StatusText(), QStringLiteral("状态：下载完成"));
        QCOMPARE(static_cast<int>(FilesIn(BookFolder(list->Cell(0, 2))).size()), 6);
        CheckDisk();
        Log(QStringLiteral("search hanging on 9005: 下载选中 stopped it in %1 ms; %2")
                .arg(stopMs)
                .arg(StatusShown()));
    }

    // Chapters that never answer: the download waits on the third while the
    // window ticks; 下载选中 is grey meanwhile, and a Fetch stops the download
    // at once. The two whole chapters stay, and nothing of the third.
    void fetchStopsADownloadWaitingForAChapter() {
        const int id = special::ChapterNeverAnswers;
        QVERIFY(ListById(id));
        BookListView* list = window_->BookList();
        const fs::path folder = BookFolder(list->Cell(0, 2));
        BoxAnswerer answers;
        window_->MenuAction(MenuItem::DownloadSelected)->trigger();
        QVERIFY(RunUntil([&] { return RequestedChapterOf(id, 3); }, DownloadTimeoutMs));
        ExpectTicking(window_->DownloadTimer(), &MainWindow::DownloadTimerTicked);
        QCOMPARE(window_->StatusText(), QStringLiteral("状态：正在下载  2/5（40%）"));
        QCOMPARE(list->Cell(0, 5), QStringLiteral("2"));
        QCOMPARE(list->Cell(0, 6), QStringLiteral("正在下载..."));
        QVERIFY(!window_->MenuAction(MenuItem::DownloadSelected)->isEnabled());

        qint64 stopMs = 0;
        FetchOverHangingJob(stopMs);
        if (QTest::currentTestFailed()) {
            return;
        }
        QVERIFY(!window_->DownloadTimer()->isActive());
        QVERIFY(answers.Texts().isEmpty());
        QCOMPARE(FilesIn(folder).size(), 2u);
        CheckDisk();
        Log(QStringLiteral("never answering chapter: Fetch stopped the download in %1 ms; "
                           "2 chapter files kept")
                .arg(stopMs));
    }

  private:
    // Everything under the temporary root except the program folder's content.
    Tree Outside() const { return Snapshot(root_, program_); }

    fs::path BookFolder(const QString& bookName) const {
        return program_ / GbkToUtf8(SafeName(Utf8ToGbk(bookName.toStdString())));
    }

    void Fetch(QRadioButton* radio, QLineEdit* box, const QString& text) {
        QTest::mouseClick(radio, Qt::LeftButton);
        box->setText(text);
        QTest::mouseClick(window_->FetchButton(), Qt::LeftButton);
    }
    // Fetches book 1002 by id while the running job hangs: the Fetch command
    // itself ends that job, within PromptStopMs, and the new fetch completes.
    // stopMs: how long the command took.
    void FetchOverHangingJob(qint64& stopMs) {
        const std::shared_ptr<JobThread> hanging = window_->Jobs().WorkerThread;
        QTest::mouseClick(window_->ByIdRadio(), Qt::LeftButton);
        window_->IdBox()->setText(QStringLiteral("1002"));
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(window_->FetchButton(), Qt::LeftButton);
        stopMs = clock.elapsed();
        QVERIFY(hanging->Finished());  // stopped by the command itself
        QVERIFY2(stopMs < PromptStopMs, qPrintable(QString::number(stopMs)));
        QVERIFY(WaitForJobEnd(ListTimeoutMs));
        QCOMPARE(window_->StatusText(), QStringLiteral("状态：获取完成"));
    }
    // Runs the window's event loop, as the program does, until condition
    // holds; false when it still does not after timeoutMs. (QTRY_* would
    // sleep between its polls and hold up every window operation of a job.)
    static bool RunUntil(const std::function<bool()>& condition, int timeoutMs) {
        if (condition()) {
            return true;
        }
        QEventLoop loop;
        QTimer poll;
        connect(&poll, &QTimer::timeout, &loop, [&] {
            if (condition()) {
                loop.quit();
            }
        });
        poll.start(10);
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
        return condition();
    }
    // Each of these is true once the job has ended.
    [[nodiscard]] bool WaitForJobEnd(int timeoutMs) {
        return RunUntil(
            [this] {
                const auto& worker = window_->Jobs().WorkerThread;
                return worker && worker->Finished();
            },
            timeoutMs);
    }
    [[nodiscard]] bool ListById(int id) {
        Fetch(window_->ByIdRadio(), window_->IdBox(), QString::number(id));
        return WaitForJobEnd(ListTimeoutMs);
    }
    [[nodiscard]] bool ListByName(const QString& name) {
        Fetch(window_->ByNameRadio(), window_->NameBox(), name);
        return WaitForJobEnd(ListTimeoutMs);
    }
    [[nodiscard]] bool DownloadRow(int row) {
        BookListView* list = window_->BookList();
        list->setCurrentCell(row, 2);
        window_->MenuAction(MenuItem::DownloadSelected)->trigger();
        return WaitForJobEnd(DownloadTimeoutMs);
    }

    bool Requested(const std::string& path) const {
        for (const auto& request : site_->Requests()) {
            if (request.Target.ends_with(path)) {
                return true;
            }
        }
        return false;
    }
    bool RequestedIndexOf(int id) const {
        return Requested("/book" + std::to_string(id) + "_novel.html");
    }
    bool RequestedChapterOf(int id, int n) const {
        return Requested("/book" + std::to_string(id) + "_" + sample_site::ChapterId(id, n) +
                         ".html");
    }

    // While a job waits for a page, the window's own timer goes on ticking,
    // and so does the job's progress timer, which rewrites the status text.
    template <class Signal>
    void ExpectTicking(QTimer* jobTimer, Signal ticked) {
        QVERIFY(jobTimer->isActive());
        int jobTicks = 0;
        const QMetaObject::Connection counting =
            connect(window_.get(), ticked, this, [&] { ++jobTicks; });
        const int ticks = ticker_->Ticks();
        QVERIFY(RunUntil([&] { return jobTicks >= 5 && ticker_->Ticks() >= ticks + 20; },
                         ListTimeoutMs));
        disconnect(counting);
        // Each tick writes the running text: blank the pane, and it comes back.
        const QString running = window_->StatusText();
        window_->SetStatusText(QStringLiteral("状态："));
        QVERIFY(RunUntil([&] { return window_->StatusText() == running; }, ListTimeoutMs));
    }

    // Nothing outside the program folder changed, no half-written or unsafe
    // file is inside it, and the window never stood still.
    void CheckDisk() {
        QCOMPARE(Outside(), outsideBefore_);
        QCOMPARE(ReadBytes(program_ / "《别的书》" / "第一章.txt"), std::string("keep"));
        const QString fault = DiskFault(program_);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
        QVERIFY2(ticker_->WidestGap() < FrozenMs,
                 qPrintable(
                     QStringLiteral("the window stood still for %1 ms").arg(ticker_->WidestGap())));
    }

    // Every chapter of the book is on disk with the site's text, whether its
    // link came once or twice; a repeated chapter is saved again beside it.
    void CheckEveryChapterKept(int id, int chapters, const std::vector<fs::path>& written) {
        std::map<std::string, int> copies;  // text -> files holding it
        for (const fs::path& file : written) {
            ++copies[ReadBytes(file)];
        }
        for (int n = 1; n <= chapters; ++n) {
            const SiteChapter chapter = ChapterOnSite(id, n);
            const int expected = n > chapters - 12 ? 2 : 1;
            QCOMPARE(copies[chapter.text], expected);
            const std::string stem = GbkToUtf8(SafeName(chapter.title));
            const int named = static_cast<int>(std::count_if(
                written.begin(), written.end(),
                [&](const fs::path& file) { return file.filename().string().starts_with(stem); }));
            QCOMPARE(named, expected);
        }
    }

    QString StatusShown() const { return QStringLiteral("\"%1\"").arg(window_->StatusText()); }
    void Log(const QString& line) const {
        qInfo().noquote() << "outcome:" << line << "| widest tick gap" << ticker_->WidestGap()
                          << "ms";
    }

    std::unique_ptr<sample_site::SampleSite> site_;
    fs::path root_;
    fs::path program_;
    Tree outsideBefore_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<WindowController> controller_;
    std::unique_ptr<Ticker> ticker_;
};

QTEST_MAIN(HostileSiteTest)
#include "hostile_site_test.moc"
