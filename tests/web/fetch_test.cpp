// The page fetch against the sample site on a loopback port: what goes on the
// wire, what comes back, and how failures and stops end.
#include "web/fetch.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <stop_token>
#include <thread>

#include "site/site_hosts.h"
#include "text/codec.h"
#include "text/text_between.h"
#include "tools/sample-site/sample_site.h"
#include "tools/sample-site/site_content.h"
#include "web/job_stop.h"

namespace {

using namespace std::chrono_literals;
using sample_site::RecordedRequest;
using sample_site::Reply;

const Text DefaultBlockTail =
    "\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded";

bool WaitUntil(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// A loopback port that nothing listens on.
int ClosedPort() {
    const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(sock);
    return ntohs(address.sin_port);
}

class FetchTest : public testing::Test {
  protected:
    void SetUp() override {
        // The machine's proxy settings must not reroute the loopback fetches.
        for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                                 "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
            ::unsetenv(name);
        }
        ASSERT_TRUE(site.Start());
    }

    Text Url(std::string_view path) const { return site.BaseUrl() + std::string(path); }
    std::string Port() const { return std::to_string(site.Port()); }

    RecordedRequest OnlyRequest() const {
        const std::vector<RecordedRequest> requests = site.Requests();
        EXPECT_EQ(requests.size(), 1u);
        return requests.empty() ? RecordedRequest{} : requests.front();
    }

    void Serve(std::string path, Reply reply) {
        site.AddRoute(std::move(path), [reply](const RecordedRequest&) { return reply; });
    }

    sample_site::SampleSite site;
};

TEST_F(FetchTest, PlainFetchSendsExactlyTheDefaultRequest) {
    const Text url = Url("/book1001_novel.html");
    FetchOptions io;
    const Text page = FetchPage(url, io);

    EXPECT_EQ(TextBetween(page, "<title>", Utf8ToGbk("章节目录")),
              sample_site::FindBook("1001")->Name);
    const Text block = "Referer: " + url + DefaultBlockTail;
    EXPECT_EQ(io.ExtraHeaders, block);
    EXPECT_EQ(OnlyRequest().Head, "GET /book1001_novel.html HTTP/1.1\r\nHost: 127.0.0.1:" + Port() +
                                      "\r\nUser-Agent: " + std::string(DefaultUserAgent) + "\r\n" +
                                      block + "\r\n");
    EXPECT_TRUE(OnlyRequest().Body.empty());
}

TEST_F(FetchTest, HostIsLowerCaseAndThePathKeepsItsCase) {
    const Text url = "http://LocalHost:" + Port() + "/Book1001_Novel.HTML?Q=A%20B";
    FetchPage(url);
    const RecordedRequest request = OnlyRequest();
    EXPECT_EQ(request.Target, "/Book1001_Novel.HTML?Q=A%20B");
    EXPECT_EQ(request.Header("Host"), "localhost:" + Port());
    EXPECT_EQ(request.Header("Referer"), url);
}

struct HeaderCase {
    std::string_view extraIn;
    std::string_view cookiesIn;
    std::string_view blockAfter;  // "{url}" stands for the URL
    std::string_view agent;
};

TEST_F(FetchTest, CallerHeaderLinesAndDefaults) {
    const HeaderCase cases[] = {
        // The caller's Accept stays first and no second Accept is added.
        {"Accept: text/html", "",
         "Accept: text/html\r\nReferer: {url}\r\nAccept-Language: zh-cn\r\nContent-Type: "
         "application/x-www-form-urlencoded",
         DefaultUserAgent},
        // Names are looked for with regard to case: a Referer line is still added.
        {"referer: x", "",
         "referer: x\r\nReferer: {url}\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: "
         "application/x-www-form-urlencoded",
         DefaultUserAgent},
        // ... while the agent is looked for without: this line sets it.
        {"user-agent: Foo\r\nAccept: */*", "",
         "user-agent: Foo\r\nAccept: */*\r\nReferer: {url}\r\nAccept-Language: "
         "zh-cn\r\nContent-Type: application/x-www-form-urlencoded",
         "Foo"},
        // Cookies go last, after the default lines.
        {"", "a=1",
         "Referer: {url}\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: "
         "application/x-www-form-urlencoded\r\nCookie: a=1",
         DefaultUserAgent},
    };
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(c.extraIn);
        site.ClearRequests();
        const Text url = Url("/book1001_novel.html");
        FetchOptions io;
        io.ExtraHeaders = c.extraIn;
        io.Cookies = c.cookiesIn;
        FetchPage(url, io);

        const Text block = ReplaceText(c.blockAfter, "{url}", url);
        EXPECT_EQ(io.ExtraHeaders, block);

        // On the wire: Host, the agent unless the block has one, then the
        // block line by line, and nothing else.
        const RecordedRequest request = OnlyRequest();
        EXPECT_EQ(request.HeaderCount("User-Agent"), 1);
        EXPECT_EQ(request.Header("User-Agent"), c.agent);
        const bool agentInBlock = FindText(block, "user-agent:", 1, true) != -1;
        EXPECT_EQ(request.Headers.size(),
                  1u + (agentInBlock ? 0u : 1u) + static_cast<std::size_t>(SplitText(block, "\r\n").Count()));
        EXPECT_TRUE(request.Head.ends_with("\r\n" + block + "\r\n"));
    }
}

TEST_F(FetchTest, CookiesSetByTheResponseAreCapturedAndMerged) {
    Serve("/login", Reply{200,
                          {{"Set-Cookie", "sid=abc; path=/"},
                           {"Set-Cookie", "uid=7; path=/"},
                           {"Set-Cookie", "theme=dark"}},
                          "ok"});
    FetchOptions io;
    io.Cookies = "uid=1; lang=zh cn";
    EXPECT_EQ(FetchPage(Url("/login"), io), "ok");
    EXPECT_EQ(io.NewCookies, "sid=abc;uid=7;theme=dark");
    EXPECT_EQ(io.Cookies, "sid=abc; uid=7; theme=dark; lang=zhcn");
    EXPECT_EQ(OnlyRequest().Header("Cookie"), "uid=1; lang=zh cn");

    // A caller that keeps the merged text sends it along next time.
    site.ClearRequests();
    FetchOptions next;
    next.Cookies = io.Cookies;
    FetchPage(Url("/book1001_novel.html"), next);
    EXPECT_EQ(OnlyRequest().Header("Cookie"), "sid=abc; uid=7; theme=dark; lang=zhcn");
    EXPECT_EQ(next.NewCookies, "");
}

TEST_F(FetchTest, RedirectsAreFollowedUnlessNoRedirect) {
    Serve("/moved", Reply{302, {{"Location", "/book1001_novel.html"}}, "moved here"});
    const Text url = Url("/moved");

    FetchOptions held;
    held.NoRedirect = true;
    EXPECT_EQ(FetchPage(url, held), "moved here");
    EXPECT_EQ(held.RedirectLocation, "/book1001_novel.html");
    EXPECT_TRUE(held.RawHeaders.starts_with("HTTP/1.1 302 Found\r\n"));
    EXPECT_NE(FindText(held.RawHeaders, "\r\nLocation: /book1001_novel.html"), -1);
    EXPECT_EQ(site.Requests().size(), 1u);

    site.ClearRequests();
    FetchOptions followed;
    const Text page = FetchPage(url, followed);
    EXPECT_NE(FindText(page, Utf8ToGbk("章节目录")), -1);
    // Body and headers are those of the last response, which has no Location.
    EXPECT_TRUE(followed.RawHeaders.starts_with("HTTP/1.1 200 OK\r\n"));
    EXPECT_EQ(followed.RedirectLocation, followed.RawHeaders);
    const std::vector<RecordedRequest> requests = site.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].Target, "/book1001_novel.html");
    EXPECT_EQ(requests[1].Header("Referer"), url);
}

TEST_F(FetchTest, RedirectLocationTheCallerSetSurvivesAResponseWithoutOne) {
    FetchOptions io;
    io.RedirectLocation = "kept";
    FetchPage(Url("/book1001_novel.html"), io);
    EXPECT_EQ(io.RedirectLocation, "kept");
    EXPECT_TRUE(io.RawHeaders.starts_with("HTTP/1.1 200 OK\r\n"));
    EXPECT_FALSE(io.RawHeaders.ends_with("\r\n"));
}

TEST_F(FetchTest, BodyBytesAndPageText) {
    Serve("/nul", Reply{200, {}, std::string("abc\0def", 7)});
    FetchOptions io;
    const ByteBuffer bytes = FetchBytes(Url("/nul"), io);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), std::string("abc\0def", 7));
    EXPECT_EQ(FetchPage(Url("/nul")), "abc");

    // An error page is a page like any other.
    FetchOptions missing;
    const Text page = FetchPage(Url("/no-such-page.html"), missing);
    EXPECT_NE(FindText(page, "404 Not Found"), -1);
    EXPECT_TRUE(missing.RawHeaders.starts_with("HTTP/1.1 404 Not Found\r\n"));
}

TEST_F(FetchTest, RawHeadersMustFitFiveThousandBytes) {
    // The rest of the block is about 120 bytes; a header of 4000 fits, one of
    // 5000 does not.
    Serve("/fits", Reply{200, {{"X-Pad", std::string(4000, 'p')}}, "body"});
    Serve("/too-long", Reply{200, {{"X-Pad", std::string(5000, 'p')}, {"Location", "/x"}}, "body"});

    FetchOptions fits;
    EXPECT_EQ(FetchPage(Url("/fits"), fits), "body");
    EXPECT_NE(FindText(fits.RawHeaders, "X-Pad: " + std::string(4000, 'p')), -1);

    FetchOptions tooLong;
    EXPECT_EQ(FetchPage(Url("/too-long"), tooLong), "body");
    EXPECT_EQ(tooLong.RawHeaders, BlankText(5000));
    EXPECT_EQ(tooLong.RedirectLocation, BlankText(5000));
}

TEST_F(FetchTest, PostSendsTheBodyWithoutExpect) {
    // Above a megabyte libcurl would otherwise ask "Expect: 100-continue".
    const Text postText = "a=1&b=" + std::string(1500 * 1024, 'x');
    FetchOptions io;
    io.Method = 1;
    io.PostText = postText;
    FetchPage(Url("/book1001_novel.html"), io);
    EXPECT_EQ(io.PostBytes, TextToBytes(postText));

    const RecordedRequest request = OnlyRequest();
    EXPECT_EQ(request.Method, "POST");
    EXPECT_EQ(request.Body, postText);
    EXPECT_EQ(request.HeaderCount("Expect"), 0);
    EXPECT_EQ(request.HeaderCount("Content-Type"), 1);
    EXPECT_EQ(request.Header("Content-Length"), std::to_string(postText.size()));

    // PostBytes, when given, wins over PostText; other methods send GET with it.
    site.ClearRequests();
    FetchOptions other;
    other.Method = 2;
    other.PostText = "ignored";
    other.PostBytes = TextToBytes("k=v");
    FetchPage(Url("/book1001_novel.html"), other);
    EXPECT_EQ(OnlyRequest().Method, "GET");
    EXPECT_EQ(OnlyRequest().Body, "k=v");
}

TEST_F(FetchTest, ProxyLeftOutSuppliedEmptyOrNamed) {
    enum class Call { LeftOut, SuppliedEmpty, Named };
    struct ProxyCase {
        const char* name;
        bool environment;  // http_proxy names the site
        const char* noProxy;
        Call call;
        bool proxied;
    };
    const ProxyCase cases[] = {
        {"left out goes direct despite http_proxy", true, nullptr, Call::LeftOut, false},
        {"supplied empty follows http_proxy", true, nullptr, Call::SuppliedEmpty, true},
        {"supplied empty honours no_proxy", true, "127.0.0.1", Call::SuppliedEmpty, false},
        {"supplied empty without settings goes direct", false, nullptr, Call::SuppliedEmpty, false},
        {"named proxy", false, nullptr, Call::Named, true},
        {"named proxy ignores no_proxy", true, "127.0.0.1", Call::Named, true},
    };
    const Text url = Url("/book1001_novel.html");
    for (const ProxyCase& c : cases) {
        SCOPED_TRACE(c.name);
        site.ClearRequests();
        c.environment ? ::setenv("http_proxy", site.BaseUrl().c_str(), 1)
                      : ::unsetenv("http_proxy");
        c.noProxy ? ::setenv("no_proxy", c.noProxy, 1) : ::unsetenv("no_proxy");

        FetchOptions io;
        if (c.call == Call::SuppliedEmpty) {
            io.Proxy = Text();
        } else if (c.call == Call::Named) {
            io.Proxy = "127.0.0.1:" + Port();
        }
        const ByteBuffer body = FetchBytes(url, io);
        EXPECT_FALSE(body.empty());
        EXPECT_EQ(OnlyRequest().Target, c.proxied ? url : Text("/book1001_novel.html"));
    }
}

TEST_F(FetchTest, FetchPageReachesTheSiteThroughHttpProxy) {
    ::setenv("http_proxy", site.BaseUrl().c_str(), 1);
    const Text url = "http://" + std::string(BookHost) + "/book1001_novel.html";
    const Text page = FetchPage(url);
    EXPECT_EQ(TextBetween(page, "var myauthor=\"", "\""), sample_site::FindBook("1001")->Author);
    // The default port stays out of Host, and libcurl adds no proxy lines.
    EXPECT_EQ(OnlyRequest().Head, "GET " + url + " HTTP/1.1\r\nHost: " + std::string(BookHost) +
                                      "\r\nUser-Agent: " + std::string(DefaultUserAgent) +
                                      "\r\nReferer: " + url + DefaultBlockTail + "\r\n");
}

TEST_F(FetchTest, FailedFetchesReturnEmpty) {
    Serve("/to-file", Reply{302, {{"Location", "file:///etc/hostname"}}, "no"});
    using namespace sample_site::special;
    const std::pair<const char*, Text> cases[] = {
        {"connection refused", "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/"},
        {"TLS to a plain server", "HTTPS://127.0.0.1:" + Port() + "/book1001_novel.html"},
        {"redirect loop", Url("/book" + std::to_string(RedirectLoop) + "_novel.html")},
        {"reset in the middle of the body",
         Url("/book" + std::to_string(ResetIndex) + "_novel.html")},
        {"64 MiB + 1 byte with a length",
         Url("/book" + std::to_string(HugeWithLength) + "_novel.html")},
        {"64 MiB + 1 byte chunked", Url("/book" + std::to_string(HugeChunked) + "_novel.html")},
        {"redirect to a file", Url("/to-file")},
    };
    for (const auto& [name, url] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(FetchPage(url), "");
    }
}

TEST_F(FetchTest, ARedirectLoopEndsAfterTwentyRedirects) {
    const Text url =
        Url("/book" + std::to_string(sample_site::special::RedirectLoop) + "_novel.html");
    EXPECT_EQ(FetchPage(url), "");
    EXPECT_EQ(site.Requests().size(), 21u);
}

TEST_F(FetchTest, ARefusedConnectionLeavesTheBlankHeaderBlock) {
    FetchOptions io;
    io.Cookies = "a=1; b=2";
    EXPECT_TRUE(FetchBytes("http://127.0.0.1:" + std::to_string(ClosedPort()) + "/", io).empty());
    EXPECT_EQ(io.RawHeaders, BlankText(5000));
    EXPECT_EQ(io.RedirectLocation, BlankText(5000));
    EXPECT_EQ(io.NewCookies, "");
    EXPECT_EQ(io.Cookies, "a=1; b=2");
}

TEST_F(FetchTest, UnusableUrlsMakeNoRequestAndWriteNothing) {
    for (const Text& url : {Text(), Text("http://127.0.0.1:0/"), Text("http://127.0.0.1:70000/"),
                            Text("http://a b/"), Text("http://127.0.0.1:" + Port() + "/a b")}) {
        SCOPED_TRACE(url);
        FetchOptions io;
        io.ExtraHeaders = "Accept: text/html";
        EXPECT_TRUE(FetchBytes(url, io).empty());
        EXPECT_EQ(io.ExtraHeaders, "Accept: text/html");
        EXPECT_EQ(io.RawHeaders, "");
    }
    EXPECT_TRUE(site.Requests().empty());
}

TEST_F(FetchTest, ABodyOfExactlySixtyFourMebibytesIsAccepted) {
    FetchOptions io;
    const ByteBuffer body = FetchBytes(
        Url("/book" + std::to_string(sample_site::special::AtBodyLimit) + "_novel.html"), io);
    EXPECT_EQ(body.size(), MaxBodyBytes);
}

TEST_F(FetchTest, AStopEndsAFetchThatWaitsForAnswer) {
    const Text url =
        Url("/book" + std::to_string(sample_site::special::NeverAnswers) + "_novel.html");
    std::stop_source stop;
    Text page = "not returned";
    std::thread job([&] {
        ScopedJobStop bind(stop.get_token());
        page = FetchPage(url);
    });
    // The site holds the request without answering.
    ASSERT_TRUE(WaitUntil([&] { return !site.Requests().empty(); }));
    const auto stopped = std::chrono::steady_clock::now();
    stop.request_stop();
    job.join();
    const auto took = std::chrono::steady_clock::now() - stopped;
    EXPECT_EQ(page, "");
    // Without the stop it would wait 30 s for the idle time-out; the bound
    // leaves room for a slow machine (the real figure is in bench_fetch).
    EXPECT_LT(took, 5s);
}

TEST_F(FetchTest, AFetchOfAStoppedJobMakesNoRequest) {
    std::stop_source stop;
    stop.request_stop();
    ScopedJobStop bind(stop.get_token());
    FetchOptions io;
    EXPECT_TRUE(FetchBytes(Url("/book1001_novel.html"), io).empty());
    EXPECT_EQ(io.ExtraHeaders, "");
    EXPECT_TRUE(site.Requests().empty());
}

}  // namespace
