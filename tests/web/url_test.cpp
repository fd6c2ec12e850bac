#include "web/url.h"

#include <gtest/gtest.h>

#include <array>

namespace {

struct UrlCase {
    std::string_view url;
    std::string_view host;
    std::string_view hostWithPort;
    int port;
    std::string_view path;
};

constexpr std::array<UrlCase, 10> UrlCases = {{
    {"HTTP://A.B.C/Book_1.html", "a.b.c", "a.b.c", 80, "/Book_1.html"},
    {"a.b.c/x", "a.b.c", "a.b.c", 80, "/x"},
    {"https://a.b.c:8443/p?q=1", "a.b.c", "a.b.c:8443", 8443, "/p?q=1"},
    {"https://a.b.c", "a.b.c", "a.b.c", 443, "/"},
    {"HTTPS://Www.Hxnovel.Test/A/B?Q=C#F", "www.hxnovel.test", "www.hxnovel.test", 443,
     "/A/B?Q=C#F"},
    {"http://a.b.c:/x", "a.b.c", "a.b.c:", 0, "/x"},
    {"", "", "", 80, "/"},
    // Hosts that also occur inside "http://": the path still starts after the host.
    {"http://h/", "h", "h", 80, "/"},
    {"http://t/book1_2.html", "t", "t", 80, "/book1_2.html"},
    {"http://www.hxnovel.test/book1_2.html?from=http://x/y", "www.hxnovel.test", "www.hxnovel.test",
     80, "/book1_2.html?from=http://x/y"},
}};

TEST(UrlTest, HostPortAndPath) {
    for (const UrlCase& c : UrlCases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(UrlHost(c.url), c.host);
        EXPECT_EQ(UrlHost(c.url, false, true), c.hostWithPort);
        EXPECT_EQ(UrlPort(c.url), c.port);
        EXPECT_EQ(UrlPath(c.url), c.path);
    }
}

TEST(UrlTest, DomainOnlyKeepsTheLastTwoLabels) {
    EXPECT_EQ(UrlHost("http://x.a.b.c/", true), "b.c");
    EXPECT_EQ(UrlHost("http://h/", true), "h");
    // The labels are taken before the port is cut off.
    EXPECT_EQ(UrlHost("http://x.a.b.c:81/", true), "b.c");
    EXPECT_EQ(UrlHost("http://x.a.b.c:81/", true, true), "b.c:81");
}

TEST(UrlTest, HeaderValueIsTheTrimmedTextAfterTheFirstColon) {
    constexpr std::array<std::pair<std::string_view, std::string_view>, 5> cases = {{
        {"Location: http://a.b.c/x", "http://a.b.c/x"},
        {"Location:", ""},
        {"a line without a colon", ""},
        {"Set-Cookie:   sid=1; path=/  ", "sid=1; path=/"},
        {"X-Name:\xA1\xA1value\xA1\xA1", "value"},  // full-width spaces trim too
    }};
    for (const auto& [line, value] : cases) {
        EXPECT_EQ(HeaderValue(line), value) << line;
    }
}

}  // namespace
