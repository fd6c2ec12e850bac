// The sample site: its pages parse with the site's markers, it answers as
// origin and as proxy, its special books behave as documented, and it
// records requests as they came.
#include "tools/sample-site/sample_site.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <set>
#include <string>

#include "site/site_hosts.h"
#include "text/codec.h"
#include "text/text_between.h"
#include "tools/sample-site/site_content.h"
#include "web/fetch.h"

namespace {

using namespace std::chrono_literals;
using namespace sample_site;

Text G(std::string_view utf8) {
    return Utf8ToGbk(utf8);
}

const Text BookSiteBase = "http://" + std::string(BookHost);

Text ContentEndMarker() {
    return G("<p>本书由幻侠小说网(") + std::string(BookHost) + G(")首发</p></div>");
}

Text IndexUrl(std::string_view id) {
    return BookSiteBase + "/book" + std::string(id) + "_novel.html";
}
Text IndexUrl(int id) {
    return IndexUrl(std::to_string(id));
}
Text ChapterUrl(int id, std::string_view chapterId) {
    return BookSiteBase + "/book" + std::to_string(id) + "_" + std::string(chapterId) + ".html";
}

TextList ChapterIds(const Text& indexPage, int id) {
    TextList ids;
    AllTextsBetween(indexPage, "/book" + std::to_string(id) + "_", ".html", ids);
    return ids;
}

struct Chapter {
    Text title;
    Text content;
};
Chapter CutChapter(const Text& page) {
    return {TextBetween(page, "<h2 id=\"htmltimu\">", "</h2> "),
            TextBetween(page, "<div id=\"htmlContent\" class=\"contentbox\">", ContentEndMarker())};
}

bool HoldsNonGbkPair(const Text& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead >= 0x80) {
            if (i + 1 >= text.size() || !IsGbkPair(lead, static_cast<unsigned char>(text[i + 1]))) {
                return true;
            }
            ++i;
        }
    }
    return false;
}

struct RawReply {
    std::string bytes;
    bool closed = false;  // the site closed or reset the connection
    bool reset = false;
};

// Sends raw bytes on a fresh connection; returns what came back until the
// site closed it or nothing more arrived for `quiet`.
RawReply Exchange(int port, std::string_view request, std::chrono::milliseconds quiet = 500ms) {
    RawReply reply;
    const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (::connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::send(sock, request.data(), request.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(request.size())) {
        ::close(sock);
        ADD_FAILURE() << "cannot talk to the site";
        return reply;
    }
    char buffer[65536];
    for (;;) {
        pollfd p{sock, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(quiet.count())) <= 0) {
            break;
        }
        const ssize_t n = ::recv(sock, buffer, sizeof buffer, 0);
        if (n <= 0) {
            reply.closed = true;
            reply.reset = n < 0 && errno == ECONNRESET;
            break;
        }
        reply.bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(sock);
    return reply;
}

int CountOf(std::string_view text, std::string_view part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string_view::npos;
         at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class SampleSiteTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(site.Start()); }

    // Fetches a URL of the real site with the sample site as its proxy.
    Text Get(const Text& url, bool noRedirect = false) {
        FetchOptions io;
        io.Proxy = "127.0.0.1:" + std::to_string(site.Port());
        io.NoRedirect = noRedirect;
        const Text page = FetchPage(url, io);
        lastLocation = io.RedirectLocation;
        return page;
    }

    SampleSite site;
    Text lastLocation;
};

TEST_F(SampleSiteTest, SearchFindsTheBooksWhoseNameHoldsTheGbkQuery) {
    const Text search = "http://" + std::string(SearchHost) + "/searchresultnet.aspx?query=";
    const Text page = Get(search + UrlEncode(G("鬼吹灯")) + "&iftitle=1");
    TextList entries;
    AllTextsBetween(page, "javascript:flink('", G("最近更新"), entries);
    ASSERT_GE(entries.Count(), 3);
    EXPECT_EQ(TextToInt(TextBetween(page, G("检索到<span>"), G("</span>条结果"))), entries.Count());

    for (const Text& entry : entries.Items()) {
        const std::optional<BookFacts> book =
            FindBook(TextBetween(entry, BookSiteBase + "/book", ".html"));
        ASSERT_TRUE(book);
        EXPECT_EQ(TextBetween(entry, "title=\"", "\""), book->Name);
        EXPECT_NE(FindText(book->Name, G("鬼吹灯")), -1);
        EXPECT_EQ(TextBetween(entry, "class=\"blue\">", "<"), book->Author);
    }

    const Text none = Get(search + UrlEncode(G("无此书名")) + "&iftitle=1");
    EXPECT_EQ(TextBetween(none, G("检索到<span>"), G("</span>条结果")), "0");
    EXPECT_EQ(FindText(none, "javascript:flink('"), -1);
}

TEST_F(SampleSiteTest, IndexAndChapterPagesParseWithTheMarkers) {
    const BookFacts book = *FindBook("1001");
    const Text index = Get(IndexUrl(1001));
    EXPECT_EQ(TextBetween(index, "<title>", G("章节目录")), book.Name);
    EXPECT_EQ(TextBetween(index, "var myauthor=\"", "\""), book.Author);
    const TextList ids = ChapterIds(index, 1001);
    ASSERT_EQ(ids.Count(), book.Chapters);
    EXPECT_EQ(std::set<Text>(ids.Items().begin(), ids.Items().end()).size(), ids.Items().size());

    for (const int n : {1, book.Chapters}) {
        const Chapter chapter = CutChapter(Get(ChapterUrl(1001, ids.Item(n))));
        EXPECT_FALSE(chapter.title.empty());
        EXPECT_TRUE(chapter.content.starts_with("<p>"));
        EXPECT_TRUE(chapter.content.ends_with("</p>"));
        EXPECT_FALSE(HoldsNonGbkPair(chapter.title + chapter.content));
    }
    EXPECT_TRUE(CutChapter(Get(ChapterUrl(1001, "1"))).title.empty());  // no such chapter
}

TEST_F(SampleSiteTest, ListingPagesOfEveryCategory) {
    // 最新更新 lists every ordinary book once; the nine categories share them out.
    const char* slugs[] = {"",         "xuanhuan_", "dushi_",    "xuanyi_", "kehuan_",
                           "wangyou_", "xianxia_",  "jingsong_", "lishi_",  "junshi_"};
    std::set<Text> latest;
    std::set<Text> inCategories;
    for (const char* slug : slugs) {
        SCOPED_TRACE(slug);
        std::set<Text>& seen = *slug == '\0' ? latest : inCategories;
        int lastCount = BooksPerListingPage;
        for (int page = 1; page < 20; ++page) {
            TextList entries;
            AllTextsBetween(
                Get(BookSiteBase + "/" + slug + "novel_9_" + std::to_string(page) + ".html"),
                "<div class=\"nrrk\">", "</span>", entries);
            if (entries.Count() == 0) {
                break;
            }
            // Only the last page of a listing may hold fewer than 30 books.
            EXPECT_EQ(lastCount, BooksPerListingPage);
            EXPECT_LE(entries.Count(), BooksPerListingPage);
            lastCount = entries.Count();
            for (const Text& entry : entries.Items()) {
                const Text id = TextBetween(entry, "<a href=\"/book", ".html");
                const Text authorId = TextBetween(entry, "<a href=\"/user", ".html");
                const std::optional<BookFacts> book = FindBook(id);
                ASSERT_TRUE(book) << id;
                EXPECT_EQ(TextBetween(entry, id + ".html\" title=\"", "\""), book->Name);
                EXPECT_EQ(authorId, book->AuthorId);
                EXPECT_EQ(TextBetween(entry, authorId + ".html\" title=\"", "\""), book->Author);
                if (*slug != '\0') {
                    EXPECT_EQ(book->Slug, slug);
                }
                EXPECT_TRUE(seen.insert(id).second) << "listed twice: " << id;
            }
        }
    }
    EXPECT_EQ(latest.size(), static_cast<std::size_t>(LastBookId - FirstBookId + 1));
    EXPECT_EQ(inCategories, latest);
}

TEST_F(SampleSiteTest, ChapterTitlesThatTripFileNames) {
    using namespace special;
    auto titles = [&](int id) {
        std::vector<Text> out;
        const TextList ids = ChapterIds(Get(IndexUrl(id)), id);
        for (const Text& chapterId : ids.Items()) {
            out.push_back(CutChapter(Get(ChapterUrl(id, chapterId))).title);
        }
        return out;
    };

    const std::vector<Text> shared = titles(SharedTitles);
    EXPECT_LT(std::set<Text>(shared.begin(), shared.end()).size(), shared.size());

    Text all;
    for (const Text& title : titles(PathCharacters)) {
        all += title;
    }
    for (const char* c : {"/", "\\", ":", "*", "?", "\"", "<", ">", "|", ".."}) {
        EXPECT_NE(FindText(all, c), -1) << c;
    }
    EXPECT_NE(FindText(FindBook(std::to_string(PathCharacters))->Name, "/"), -1);

    const std::vector<Text> awkward = titles(LongAndControlTitles);
    EXPECT_EQ(FindBook(std::to_string(LongAndControlTitles))->Name.size(), 300u);
    EXPECT_EQ(awkward.at(0).size(), 300u);
    EXPECT_NE(awkward.at(1).find('\x01'), Text::npos);
    EXPECT_NE(awkward.at(1).find('\x7F'), Text::npos);

    // Whole characters whose second byte is a backslash or a vertical bar.
    const std::vector<Text> trails = titles(PathTrailBytes);
    ASSERT_EQ(trails.size(), 4u);
    EXPECT_EQ(GbkToUtf8(trails.at(0)), "第一章 淺");
    EXPECT_EQ(GbkToUtf8(trails.at(1)), "第二章 東西");
    EXPECT_EQ(trails.at(2), "\x81\x5C\x81\x5C");
    EXPECT_EQ(GbkToUtf8(trails.at(2)), "乗乗");
    EXPECT_EQ(GbkToUtf8(FindBook(std::to_string(PathTrailBytes))->Name), "尾字节淺東测试");
}

TEST_F(SampleSiteTest, InvalidGbkBytes) {
    const int id = special::InvalidGbk;
    const Text index = Get(IndexUrl(id));
    EXPECT_TRUE(HoldsNonGbkPair(TextBetween(index, "<title>", G("章节目录"))));
    const TextList ids = ChapterIds(index, id);
    ASSERT_EQ(ids.Count(), 5);
    const Chapter first = CutChapter(Get(ChapterUrl(id, ids.Item(1))));
    EXPECT_TRUE(HoldsNonGbkPair(first.title));
    EXPECT_TRUE(HoldsNonGbkPair(CutChapter(Get(ChapterUrl(id, ids.Item(2)))).content));
    // A stray lead byte before a marker swallows the marker's first byte.
    EXPECT_EQ(CutChapter(Get(ChapterUrl(id, ids.Item(3)))).content, "");
    EXPECT_EQ(CutChapter(Get(ChapterUrl(id, ids.Item(4)))).title, "");
}

TEST_F(SampleSiteTest, OddIndexPages) {
    using namespace special;
    EXPECT_EQ(ChapterIds(Get(IndexUrl(TenThousandChapters)), TenThousandChapters).Count(), 10000);

    // The download benchmark's book: 2,000 chapters whose pages are about 4 KB.
    const TextList longBook = ChapterIds(Get(IndexUrl(TwoThousandChapters)), TwoThousandChapters);
    ASSERT_EQ(longBook.Count(), 2000);
    for (const int n : {1, 1000, 2000}) {
        const Text page = Get(ChapterUrl(TwoThousandChapters, longBook.Item(n)));
        EXPECT_GT(page.size(), 3000u) << n;
        EXPECT_LT(page.size(), 5500u) << n;
        EXPECT_NE(CutChapter(page).content, "") << n;
    }

    const TextList repeated = ChapterIds(Get(IndexUrl(RepeatedLinks)), RepeatedLinks);
    EXPECT_EQ(repeated.Count(), 32);
    EXPECT_EQ(std::set<Text>(repeated.Items().begin(), repeated.Items().end()).size(), 20u);

    const Text empty = Get(IndexUrl(NoChapters));
    EXPECT_EQ(TextBetween(empty, "<title>", G("章节目录")), G("空目录测试"));
    EXPECT_EQ(ChapterIds(empty, NoChapters).Count(), 0);

    const TextList ids = ChapterIds(Get(IndexUrl(MissingContentMarker)), MissingContentMarker);
    ASSERT_EQ(ids.Count(), 3);
    EXPECT_NE(CutChapter(Get(ChapterUrl(MissingContentMarker, ids.Item(1)))).content, "");
    const Chapter lacking = CutChapter(Get(ChapterUrl(MissingContentMarker, ids.Item(2))));
    EXPECT_NE(lacking.title, "");
    EXPECT_EQ(lacking.content, "");

    for (const char* id : {"9999", "123456", "01001"}) {
        EXPECT_NE(FindText(Get(IndexUrl(id)), G("没有数据")), -1) << id;
    }
    EXPECT_EQ(FindText(Get(IndexUrl(1001)), G("没有数据")), -1);
}

TEST_F(SampleSiteTest, SlowRedirectingHeldAndResetPages) {
    using namespace special;
    Get(IndexUrl(RedirectLoop), true);
    EXPECT_EQ(lastLocation, "/book" + std::to_string(RedirectLoop) + "_novel.html");
    Get(BookSiteBase + "/book1001.html", true);
    EXPECT_EQ(lastLocation, "/book1001_novel.html");

    const auto started = std::chrono::steady_clock::now();
    EXPECT_NE(Get(IndexUrl(Slow)), "");
    EXPECT_GE(std::chrono::steady_clock::now() - started, SlowIndexDelay);

    auto request = [](int id, int n) {
        return "GET /book" + std::to_string(id) + "_" + ChapterId(id, n) +
               ".html HTTP/1.1\r\nHost: " + std::string(BookHost) + "\r\n\r\n";
    };
    EXPECT_TRUE(
        Exchange(site.Port(), request(ChapterNeverAnswers, 2)).bytes.starts_with("HTTP/1.1 200"));
    const RawReply held = Exchange(site.Port(), request(ChapterNeverAnswers, 3));
    EXPECT_EQ(held.bytes, "");
    EXPECT_FALSE(held.closed);

    const RawReply cut = Exchange(site.Port(), request(ResetChapter, 2));
    EXPECT_TRUE(cut.bytes.starts_with("HTTP/1.1 200"));
    EXPECT_TRUE(cut.reset);
    const std::size_t headEnd = cut.bytes.find("\r\n\r\n");
    const std::size_t length =
        std::stoul(cut.bytes.substr(cut.bytes.find("Content-Length: ") + 16, 10));
    ASSERT_NE(headEnd, std::string::npos);
    EXPECT_GT(cut.bytes.size() - headEnd - 4, 0u);
    EXPECT_LT(cut.bytes.size() - headEnd - 4, length);
}

TEST_F(SampleSiteTest, OriginAndProxyForms) {
    const std::string book(BookHost);
    const std::string search(SearchHost);
    // Each request asks the site to close, so no reply waits for a keep-alive.
    auto status = [&](std::string request) {
        request.insert(request.size() - 2, "Connection: close\r\n");
        return Exchange(site.Port(), request).bytes.substr(0, 12);
    };
    EXPECT_EQ(status("GET /book1001_novel.html HTTP/1.1\r\nHost: " + book + "\r\n\r\n"),
              "HTTP/1.1 200");
    EXPECT_EQ(status("GET http://" + book + "/book1001_novel.html HTTP/1.1\r\nHost: " + book +
                     "\r\n\r\n"),
              "HTTP/1.1 200");
    EXPECT_EQ(status("GET http://" + search +
                     "/searchresultnet.aspx?query=%B9%ED HTTP/1.1\r\n"
                     "Host: " +
                     search + "\r\n\r\n"),
              "HTTP/1.1 200");
    // Each host serves its own pages only.
    EXPECT_EQ(status("GET http://" + search + "/book1001_novel.html HTTP/1.1\r\nHost: " + search +
                     "\r\n\r\n"),
              "HTTP/1.1 404");
    EXPECT_EQ(
        status("GET /searchresultnet.aspx?query=%B9%ED HTTP/1.1\r\nHost: " + book + "\r\n\r\n"),
        "HTTP/1.1 404");
    EXPECT_EQ(status("GET /nowhere.html HTTP/1.1\r\nHost: " + book + "\r\n\r\n"), "HTTP/1.1 404");
    // As a proxy it reaches no other host.
    EXPECT_EQ(status("GET http://example.org/ HTTP/1.1\r\nHost: example.org\r\n\r\n"),
              "HTTP/1.1 502");
}

TEST_F(SampleSiteTest, RecordsEachRequestAsItCame) {
    const std::string head =
        "POST /book1001_novel.html?x=1 HTTP/1.1\r\nzeta: 1\r\nHost: " + std::string(BookHost) +
        "\r\nAlpha:  two words \r\nzeta: 3\r\nContent-Length: 5\r\nConnection: close\r\n";
    Exchange(site.Port(), head + "\r\nk=v&w");
    const std::vector<RecordedRequest> requests = site.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const RecordedRequest& r = requests[0];
    EXPECT_EQ(r.Method, "POST");
    EXPECT_EQ(r.Target, "/book1001_novel.html?x=1");
    EXPECT_EQ(r.Head, head);
    EXPECT_EQ(r.Body, "k=v&w");
    const std::vector<std::pair<std::string, std::string>> headers = {
        {"zeta", "1"}, {"Host", std::string(BookHost)}, {"Alpha", "two words"},
        {"zeta", "3"}, {"Content-Length", "5"},         {"Connection", "close"}};
    EXPECT_EQ(r.Headers, headers);
    EXPECT_EQ(r.HeaderCount("ZETA"), 2);
}

TEST(SampleSiteOptionsTest, CloseAfterEachResponse) {
    const std::string twoRequests = "GET / HTTP/1.1\r\nHost: " + std::string(BookHost) +
                                    "\r\n\r\nGET / HTTP/1.1\r\nHost: " + std::string(BookHost) +
                                    "\r\n\r\n";
    for (const bool close : {false, true}) {
        SCOPED_TRACE(close);
        SampleSite site(SiteOptions{0, close, true});
        ASSERT_TRUE(site.Start());
        const RawReply reply = Exchange(site.Port(), twoRequests);
        EXPECT_EQ(CountOf(reply.bytes, "HTTP/1.1 200 OK"), close ? 1 : 2);
        EXPECT_EQ(CountOf(reply.bytes, "Connection: close"), close ? 1 : 0);
        EXPECT_EQ(reply.closed, close);
    }
}

// Starts the program; returns its pid and the first line it printed.
std::pair<pid_t, std::string> RunProgram(std::vector<std::string> args) {
    int out[2];
    if (::pipe(out) != 0) {
        return {-1, ""};
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        std::vector<char*> argv{const_cast<char*>(SAMPLE_SITE_PROGRAM)};
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        ::execv(SAMPLE_SITE_PROGRAM, argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    std::string line;
    char c;
    pollfd p{out[0], POLLIN, 0};
    while (::poll(&p, 1, 10000) > 0 && ::read(out[0], &c, 1) == 1 && c != '\n') {
        line += c;
    }
    ::close(out[0]);
    return {pid, line};
}

int ExitCode(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SampleSiteProgramTest, PrintsItsPortServesAndStopsOnTerm) {
    auto [pid, line] = RunProgram({"--port", "0"});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(line.starts_with("listening on 127.0.0.1:")) << line;
    const int port = std::stoi(line.substr(line.rfind(':') + 1));
    const RawReply reply =
        Exchange(port, "GET / HTTP/1.1\r\nHost: " + std::string(BookHost) + "\r\n\r\n");
    EXPECT_NE(reply.bytes.find(G("幻侠小说网")), std::string::npos);
    ::kill(pid, SIGTERM);
    EXPECT_EQ(ExitCode(pid), 0);
}

TEST(SampleSiteProgramTest, RefusesAPortInUse) {
    SampleSite site;
    ASSERT_TRUE(site.Start());
    auto [pid, line] = RunProgram({"--port", std::to_string(site.Port())});
    EXPECT_EQ(line, "");
    EXPECT_EQ(ExitCode(pid), 1);
}

}  // namespace
