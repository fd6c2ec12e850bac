// The page fetch: the program's only road to the network. One HTTP/1.1
// request per call over a connection of its own, nothing kept between calls,
// nothing thrown: a fetch that fails returns the empty value.
//
// A fetch runs on a job thread and watches that job's stop token
// (CurrentJobStop, web/job_stop.h): a stop ends it at once and it returns the
// empty value.
#pragma once

#include <optional>
#include <string_view>

#include "text/text.h"

// The agent text sent when the caller's header lines name none.
inline constexpr std::string_view DefaultUserAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; Zelq; .NET CLR 2.0.50727; .NET CLR "
    "3.0.04506.648; .NET CLR 3.5.21022)";

// Everything a fetch takes besides the URL, and everything it reports back.
// A default-constructed value is "every parameter left out".
struct FetchOptions {
    // in: 0 GET, 1 POST; any other value sends GET with the body of a POST.
    int Method = 0;
    // in: the body to send when PostBytes is empty.
    Text PostText;
    // in-out: sent in a Cookie line when not empty; on return, the cookies
    // sent merged with those the response set.
    Text Cookies;
    // out: the cookies the response set, joined by ";", without spaces.
    Text NewCookies;
    // in-out: the caller's request header lines, separated by CRLF; on return,
    // the whole header block that was sent (the default lines added).
    Text ExtraHeaders;
    // in-out: on return, the value of the response's Location line; when there
    // is none and it was empty going in, the raw header block.
    Text RedirectLocation;
    // in: true leaves redirects unfollowed.
    bool NoRedirect = false;
    // in-out: the body to send; filled from PostText when empty and Method is
    // not 0.
    ByteBuffer PostBytes;
    // in: the proxy server for http URLs ("host:port"). Left out (nullopt): a
    // direct connection. Supplied and empty: the machine's own proxy settings
    // (the http_proxy and no_proxy variables), else direct.
    std::optional<Text> Proxy;
    // out: the status line and header lines of the last response, joined by
    // CRLF; 5000 spaces when there were none or when they took 5000 bytes or more.
    Text RawHeaders;
};

// The response body, every byte as received; empty when the fetch failed, was
// stopped, or the body was larger than MaxBodyBytes.
ByteBuffer FetchBytes(const Text& url, FetchOptions& io);

// FetchBytes with every parameter handed on as supplied: a Proxy left out
// reaches FetchBytes supplied and empty. The body up to its first zero byte.
Text FetchPage(const Text& url, FetchOptions& io);

// The fetch every job makes: GET with the default header lines, the machine's
// proxy settings, redirects followed.
Text FetchPage(const Text& url);

// Bodies above this size are refused.
inline constexpr std::size_t MaxBodyBytes = 64u * 1024 * 1024;
