// The two jobs and their control against the sample site on loopback, with a
// recording window and a temporary program folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "fake_window.h"
#include "site/catalogue_job.h"
#include "site/download_job.h"
#include "site/page_parsers.h"
#include "site/site_profile.h"
#include "text/codec.h"
#include "text/files.h"
#include "tools/sample-site/sample_site.h"
#include "tools/sample-site/site_content.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

Text G(std::string_view utf8) {
    return Utf8ToGbk(utf8);
}
std::string U(std::string_view gbk) {
    return GbkToUtf8(gbk);
}

class JobsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(site_.Start());
        sample_site::UseAsHttpProxy(site_.BaseUrl());
        root_ = fs::temp_directory_path() /
                ("jobs_test_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        programDir_ = root_ / "program";
        fs::create_directories(programDir_);
        std::ofstream(root_ / "outside.txt") << "keep";
    }
    void TearDown() override {
        job_.reset();
        fs::remove_all(root_);
    }

    void Start(JobThread::Body body) {
        job_ = std::make_unique<JobThread>(std::move(body), window_, state_,
                                           Utf8ToGbk(programDir_.string()));
    }
    // Runs a job to its end (a generous bound, for slow machines).
    void Run(JobThread::Body body) {
        Start(std::move(body));
        WaitUntil([&] { return job_->Finished(); });
        ASSERT_TRUE(job_->Finished());
    }
    template <class Condition>
    static bool WaitUntil(Condition condition, std::chrono::milliseconds limit = 30s) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!condition()) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            std::this_thread::sleep_for(5ms);
        }
        return true;
    }

    void SearchById(std::string id) {
        window_.inputs = {};
        window_.inputs.byId = true;
        window_.inputs.id = id;
    }
    // A row as the catalogue job leaves it, selected.
    void ListBook(int id) {
        const auto book = sample_site::FindBook(std::to_string(id));
        ASSERT_TRUE(book.has_value()) << id;
        window_.AddRow({"1", book->Id, U(BookNameOf(book->Name)), U(book->Author),
                        std::to_string(book->Chapters)});
        window_.Select(window_.Rows() - 1);
    }
    fs::path BookFolder(int id) const {
        const auto book = sample_site::FindBook(std::to_string(id));
        return programDir_ / U(SafeName(BookNameOf(book->Name)));
    }
    static std::set<std::string> Files(const fs::path& folder) {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }
    // Every path under the temporary root, to show nothing was written outside.
    std::set<std::string> Tree() const {
        std::set<std::string> paths;
        for (const auto& entry : fs::recursive_directory_iterator(root_)) {
            paths.insert(fs::relative(entry.path(), root_).string());
        }
        return paths;
    }
    std::vector<std::string> RequestedTargets() const {
        std::vector<std::string> targets;
        for (const auto& request : site_.Requests()) {
            targets.push_back(request.Target);
        }
        return targets;
    }

    sample_site::SampleSite site_;
    FakeWindow window_;
    JobState state_;
    fs::path root_;
    fs::path programDir_;
    std::unique_ptr<JobThread> job_;
};

TEST_F(JobsTest, ByIdAddsOneSelectedRow) {
    SearchById("1001");
    window_.SetTimer(JobTimer::Fetch, 100);
    Run(CatalogueJob);
    const auto book = sample_site::FindBook("1001");
    ASSERT_EQ(window_.Rows(), 1);
    EXPECT_EQ(window_.Cell(0, 0), "1");
    EXPECT_EQ(window_.Cell(0, 1), "1001");
    EXPECT_EQ(window_.Cell(0, 2), "《" + U(book->Name) + "》");
    EXPECT_EQ(window_.Cell(0, 3), U(book->Author));
    EXPECT_EQ(window_.Cell(0, 4), std::to_string(book->Chapters));
    EXPECT_EQ(window_.Cell(0, 5), "");
    EXPECT_EQ(window_.Selected(), 0);
    EXPECT_EQ(window_.Status(), "状态：获取完成");
    EXPECT_EQ(window_.Progress(), 100);
    EXPECT_EQ(state_.DoneCount, 1);
    EXPECT_EQ(state_.TotalCount, 1);
    EXPECT_EQ(state_.ChapterIds.Count(), book->Chapters);
    EXPECT_EQ(state_.ChapterIds.Item(1), sample_site::ChapterId(1001, 1));
    // One fetch only: the index page serves both the name and the chapters.
    EXPECT_EQ(site_.Requests().size(), 1u);
}

TEST_F(JobsTest, ByIdFailureEnds) {
    // The no-data page, a page that is no index page, and a page that could
    // not be fetched at all: no row, "获取失败", the fetch timer stopped.
    site_.AddRoute("/book777_novel.html", [](const sample_site::RecordedRequest&) {
        sample_site::Reply reply;
        reply.Body = "<html>maintenance</html>";
        return reply;
    });
    for (const char* id : {"9999", "777", "12x"}) {
        window_.SetTimer(JobTimer::Fetch, 100);
        SearchById(id);
        if (std::string(id) == "12x") {
            ::setenv("http_proxy", "http://127.0.0.1:1", 1);  // refused
        }
        Run(CatalogueJob);
        EXPECT_EQ(window_.Rows(), 0) << id;
        EXPECT_EQ(window_.Status(), "状态：获取失败") << id;
        EXPECT_EQ(window_.TimerPeriod(JobTimer::Fetch), 0) << id;
        EXPECT_EQ(window_.Progress(), 100) << id;
    }
}

TEST_F(JobsTest, ByNameListsEveryHitInOrder) {
    window_.inputs.byName = true;
    window_.inputs.name = G("鬼吹灯");
    Run(CatalogueJob);
    ASSERT_EQ(window_.Rows(), 7);
    EXPECT_EQ(state_.TotalCount, 7);
    EXPECT_EQ(state_.DoneCount, 7);
    for (int row = 0; row < 7; ++row) {
        EXPECT_EQ(window_.Cell(row, 0), std::to_string(row + 1));
        const auto book = sample_site::FindBook(window_.Cell(row, 1));
        ASSERT_TRUE(book.has_value()) << window_.Cell(row, 1);
        EXPECT_EQ(window_.Cell(row, 2), "《" + U(book->Name) + "》");
        EXPECT_EQ(window_.Cell(row, 3), U(book->Author));
        EXPECT_EQ(window_.Cell(row, 4), std::to_string(book->Chapters));
    }
    EXPECT_EQ(window_.Selected(), 6);
    EXPECT_EQ(window_.Status(), "状态：获取完成");
    // The search request carries the percent-encoded GBK name.
    EXPECT_NE(RequestedTargets().front().find("query=%B9%ED%B4%B5%B5%C6&iftitle=1"),
              std::string::npos);
    EXPECT_EQ(site_.Requests().size(), 8u);

    window_.inputs.name = G("没有这本书");
    Run(CatalogueJob);
    EXPECT_EQ(window_.Status(), "状态：获取失败");
    EXPECT_EQ(window_.Rows(), 7);  // the job adds nothing; the handler clears the list
}

TEST_F(JobsTest, ByCategoryWalksPagesAndKeepsTheSlug) {
    window_.inputs.byCategory = true;
    window_.inputs.category = G("都市情感");
    window_.inputs.pages = "2";
    Run(CatalogueJob);
    EXPECT_EQ(state_.TotalCount, 60);
    EXPECT_EQ(state_.CategorySlug, "dushi_");
    EXPECT_EQ(state_.DoneCount, window_.Rows());
    EXPECT_GT(window_.Rows(), 30);
    const auto targets = RequestedTargets();
    EXPECT_EQ(targets.front(), "http://www.hxnovel.test/dushi_novel_9_1.html");
    EXPECT_EQ(
        std::count(targets.begin(), targets.end(), "http://www.hxnovel.test/dushi_novel_9_2.html"),
        1);
    for (int row = 0; row < window_.Rows(); ++row) {
        const auto book = sample_site::FindBook(window_.Cell(row, 1));
        ASSERT_TRUE(book.has_value());
        EXPECT_EQ(book->Slug, "dushi_");
        EXPECT_EQ(window_.Cell(row, 3), U(book->Author));
    }
    EXPECT_EQ(window_.Status(), "状态：获取完成");

    // A caption that is not in the table walks the category of the last walk;
    // a page count of 0 walks nothing.
    site_.ClearRequests();
    window_.inputs.category = "";
    window_.inputs.pages = "1";
    Run(CatalogueJob);
    EXPECT_EQ(RequestedTargets().front(), "http://www.hxnovel.test/dushi_novel_9_1.html");
    site_.ClearRequests();
    window_.inputs.pages = G("零");
    Run(CatalogueJob);
    EXPECT_TRUE(site_.Requests().empty());
    EXPECT_EQ(state_.TotalCount, 0);
    EXPECT_EQ(window_.Status(), "状态：获取完成");
}

TEST_F(JobsTest, DownloadWritesEveryChapter) {
    ListBook(1002);
    window_.SetMenu(MenuItem::DownloadSelected, false);
    window_.SetMenu(MenuItem::DeleteSelected, false);
    window_.ScriptAnswers({false});
    Run(DownloadJob);
    const auto book = sample_site::FindBook("1002");
    const fs::path folder = BookFolder(1002);
    ASSERT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(static_cast<int>(Files(folder).size()), book->Chapters);
    EXPECT_EQ(window_.Cell(0, 5), std::to_string(book->Chapters));
    EXPECT_EQ(window_.Cell(0, 6), "下载完成");
    EXPECT_EQ(window_.Status(), "状态：下载完成");
    EXPECT_EQ(window_.Progress(), 100);
    EXPECT_EQ(window_.TimerPeriod(JobTimer::Download), 0);
    EXPECT_TRUE(window_.MenuEnabled(MenuItem::DownloadSelected));
    EXPECT_TRUE(window_.MenuEnabled(MenuItem::DeleteSelected));
    ASSERT_EQ(window_.Questions().size(), 1u);
    EXPECT_EQ(window_.Questions()[0], window_.Cell(0, 2) + " 下载完成，是否查看？");

    // Column 5 counted 1, 2, 3, ... as the chapters were saved.
    int expected = 1;
    for (const std::string& entry : window_.Log()) {
        if (entry.rfind("ListSetCell 0 5 ", 0) == 0) {
            EXPECT_EQ(entry, "ListSetCell 0 5 " + std::to_string(expected++));
        }
    }
    EXPECT_EQ(expected, book->Chapters + 1);

    // A chapter file holds the cleaned content as GBK bytes, no BOM.
    const auto page = sample_site::RenderPage(
        sample_site::SiteHost::Book, "/book1002_" + sample_site::ChapterId(1002, 7) + ".html");
    const ChapterPage chapter = ParseChapterPage(page.Body);
    std::ifstream in(folder / (U(chapter.title) + ".txt"), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(bytes, CleanChapterText(chapter.content));
    EXPECT_EQ(bytes.rfind("    ", 0), 0u);
    EXPECT_EQ(bytes.find("<p>"), std::string::npos);
    EXPECT_EQ(bytes.find("<P>"), std::string::npos);  // chapter 7 writes one in capitals
}

TEST_F(JobsTest, ChaptersSharingATitleGetTheirOwnFiles) {
    ListBook(9001);
    window_.ScriptAnswers({false});
    Run(DownloadJob);
    const auto files = Files(BookFolder(9001));
    const auto book = sample_site::FindBook("9001");
    EXPECT_EQ(static_cast<int>(files.size()), book->Chapters);
    EXPECT_TRUE(files.count("第二章 重逢.txt"));
    EXPECT_TRUE(files.count("番外.txt"));
    int stamped = 0;
    for (const std::string& name : files) {
        if (name.rfind("番外_", 0) == 0 || name.rfind("第二章 重逢_", 0) == 0) {
            ++stamped;
            // title + "_" + 13 digits of milliseconds (+ "_n" within one millisecond)
            EXPECT_GE(name.size(), std::string("番外_").size() + 13 + 4) << name;
        }
    }
    EXPECT_EQ(stamped, 3);
}

TEST_F(JobsTest, DownloadAgainYesReplacesAndNoKeeps) {
    ListBook(1003);
    window_.ScriptAnswers({false});
    Run(DownloadJob);
    const fs::path folder = BookFolder(1003);
    std::ofstream(folder / "earlier.txt") << "earlier";
    const auto before = Files(folder);

    // No: nothing changes on disk; both columns read "已下载".
    window_.SetProgress(0);
    window_.SetStatusText(G("状态：准备就绪"));
    window_.ScriptAnswers({false});
    Run(DownloadJob);
    EXPECT_EQ(Files(folder), before);
    EXPECT_EQ(window_.Cell(0, 5), "已下载");
    EXPECT_EQ(window_.Cell(0, 6), "已下载");
    EXPECT_EQ(window_.Progress(), 100);
    EXPECT_EQ(window_.Status(), "状态：准备就绪");
    EXPECT_EQ(window_.Questions().back(), window_.Cell(0, 2) + " 已存在，是否重新下载？");

    // Yes: the earlier files are gone, the book is there again.
    window_.ScriptAnswers({true, false});
    Run(DownloadJob);
    EXPECT_FALSE(fs::exists(folder / "earlier.txt"));
    EXPECT_EQ(Files(folder).size(), before.size() - 1);
    EXPECT_EQ(window_.Cell(0, 6), "下载完成");
}

TEST_F(JobsTest, AFailingSiteNeverDestroysABookOnDisk) {
    // The book is on disk; its index page now lists no chapter.
    ListBook(9017);
    const fs::path folder = BookFolder(9017);
    fs::create_directories(folder);
    std::ofstream(folder / "第一章.txt") << "saved earlier";
    window_.SetMenu(MenuItem::DownloadSelected, false);
    window_.ScriptAnswers({true});
    Run(DownloadJob);
    EXPECT_EQ(Files(folder), std::set<std::string>{"第一章.txt"});
    EXPECT_EQ(window_.Cell(0, 6), "下载失败");
    EXPECT_EQ(window_.Status(), "状态：下载失败");
    EXPECT_EQ(window_.TimerPeriod(JobTimer::Download), 0);
    EXPECT_TRUE(window_.MenuEnabled(MenuItem::DownloadSelected));
    EXPECT_EQ(window_.Questions().size(), 1u);  // no offer to open the folder

    // Fresh download of an index page that cannot be fetched: no folder at all.
    ListBook(1004);
    ::setenv("http_proxy", "http://127.0.0.1:1", 1);
    Run(DownloadJob);
    EXPECT_FALSE(fs::exists(BookFolder(1004)));
    EXPECT_EQ(window_.Cell(1, 6), "下载失败");
}

TEST_F(JobsTest, AFailedChapterLeavesNoFileAndIsNotCounted) {
    ListBook(9015);  // chapter 2 lacks the content marker
    window_.ScriptAnswers({false});
    Run(DownloadJob);
    const auto book = sample_site::FindBook("9015");
    const auto files = Files(BookFolder(9015));
    EXPECT_EQ(static_cast<int>(files.size()), book->Chapters - 1);
    EXPECT_EQ(state_.DoneCount, book->Chapters - 1);
    EXPECT_EQ(window_.Cell(0, 5), std::to_string(book->Chapters - 1));
    EXPECT_EQ(window_.Cell(0, 6), "下载未完成");
    EXPECT_EQ(window_.Status(), "状态：下载未完成");
    EXPECT_EQ(window_.Questions().back(), window_.Cell(0, 2) + " 下载未完成（缺1章），是否查看？");
    EXPECT_EQ(window_.Progress(), (book->Chapters - 1) * 100 / book->Chapters);
    for (const std::string& name : files) {
        EXPECT_NE(name, ".txt");
        EXPECT_EQ(name.find(".part"), std::string::npos);
    }
}

TEST_F(JobsTest, UnsafeTitlesStayInsideTheBookFolder) {
    const auto before = Tree();
    for (int id : {9002, 9003, 9016}) {
        ListBook(id);
        window_.ScriptAnswers({false});
        Run(DownloadJob);
        const fs::path folder = BookFolder(id);
        ASSERT_TRUE(fs::is_directory(folder)) << id;
        EXPECT_EQ(folder.parent_path(), programDir_);
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            EXPECT_EQ(entry.path().parent_path(), folder) << entry.path();
            EXPECT_TRUE(entry.is_regular_file()) << entry.path();
        }
    }
    // Outside the program folder nothing appeared or went.
    std::set<std::string> outside;
    for (const std::string& path : Tree()) {
        if (path.rfind("program", 0) != 0) {
            outside.insert(path);
        }
    }
    std::set<std::string> outsideBefore;
    for (const std::string& path : before) {
        if (path.rfind("program", 0) != 0) {
            outsideBefore.insert(path);
        }
    }
    EXPECT_EQ(outside, outsideBefore);
}

TEST_F(JobsTest, StopEndsAFetchThatNeverAnswers) {
    SearchById("9005");
    Start(CatalogueJob);
    ASSERT_TRUE(WaitUntil([&] { return !site_.Requests().empty(); }));
    const auto logBefore = window_.Log();
    job_->Stop();
    EXPECT_TRUE(job_->Finished());
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(window_.Log(), logBefore);
    EXPECT_EQ(window_.Rows(), 0);
}

TEST_F(JobsTest, StopClosesAnOpenQuestion) {
    ListBook(1005);
    fs::create_directories(BookFolder(1005));
    Start(DownloadJob);
    window_.WaitForOpenQuestion();
    job_->Stop();
    EXPECT_FALSE(window_.QuestionOpen());
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(window_.Log().back(), "AskYesNo " + window_.Cell(0, 2) + " 已存在，是否重新下载？");
    EXPECT_TRUE(fs::is_directory(BookFolder(1005)));
}

TEST_F(JobsTest, PausesNestAndStopEndsAPausedJob) {
    ListBook(9004);  // slow chapters
    window_.ScriptAnswers({false});
    Start(DownloadJob);
    ASSERT_TRUE(WaitUntil([&] { return state_.DoneCount >= 1; }));
    job_->Pause();
    job_->Pause();
    std::this_thread::sleep_for(1500ms);  // a chapter under way may still finish
    const int halted = state_.DoneCount;
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(state_.DoneCount, halted);
    job_->Resume();
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(state_.DoneCount, halted);  // one pause is left
    job_->Resume();
    ASSERT_TRUE(WaitUntil([&] { return state_.DoneCount > halted; }));

    // Stop while paused: the job ends and records nothing more.
    job_->Pause();
    std::this_thread::sleep_for(1s);
    const auto files = Files(BookFolder(9004));
    const auto log = window_.Log();
    job_->Stop();
    EXPECT_TRUE(job_->Finished());
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(window_.Log(), log);
    EXPECT_EQ(Files(BookFolder(9004)), files);
    job_->Resume();  // nothing happens to an ended job

    // A new job starts unpaused.
    ListBook(1006);
    window_.ScriptAnswers({false});
    Run(DownloadJob);
    EXPECT_EQ(window_.Cell(1, 6), "下载完成");
}

}  // namespace
