// The page fetch on libcurl. Each call owns one easy handle, run inside a
// multi handle of its own so that a stop from the window thread can wake the
// wait at once (curl_multi_wakeup from a stop callback); both are closed before
// the call returns. libcurl's cookie engine, connection reuse and content
// decoding stay off: the request carries exactly the lines built here, and the
// body comes back as the server sent it.
#include "web/fetch.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <vector>

#include "text/text_between.h"
#include "web/cookies.h"
#include "web/job_stop.h"
#include "web/url.h"

namespace {

// Transport limits.
constexpr long ConnectTimeoutSeconds = 60;
constexpr long IdleTimeoutSeconds = 30;  // a transfer that receives nothing this long ends
constexpr long MaxRedirects = 20;
// The raw header block must fit this buffer together with a terminating zero.
constexpr int RawHeaderBufferBytes = 5000;
// Response header bytes over the whole fetch (redirects included); a server
// that sends more is cut off rather than read forever.
constexpr std::size_t MaxHeaderBytes = 1024 * 1024;

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct MultiDeleter {
    void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};
struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct UrlDeleter {
    void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;
using HeaderList = std::unique_ptr<curl_slist, SlistDeleter>;
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;

// Keeps the easy handle in the multi handle; takes it out before either closes.
class Attachment {
  public:
    Attachment(CURLM* multi, CURL* easy) : multi_(multi), easy_(easy) {
        attached_ = curl_multi_add_handle(multi, easy) == CURLM_OK;
    }
    ~Attachment() {
        if (attached_) {
            curl_multi_remove_handle(multi_, easy_);
        }
    }
    Attachment(const Attachment&) = delete;
    Attachment& operator=(const Attachment&) = delete;
    bool Attached() const { return attached_; }

  private:
    CURLM* multi_;
    CURL* easy_;
    bool attached_ = false;
};

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// What the transfer callbacks collect.
struct Response {
    ByteBuffer body;
    bool bodyTooLarge = false;
    std::vector<std::string> headerLines;  // of the latest response only
    std::size_t headerBytes = 0;
};

// The callbacks run inside libcurl's C code: nothing may be thrown through it.
size_t OnBody(char* data, size_t size, size_t count, void* user) noexcept {
    auto& response = *static_cast<Response*>(user);
    const size_t n = size * count;
    if (n > MaxBodyBytes - response.body.size()) {
        response.bodyTooLarge = true;
        return 0;  // anything short of n ends the transfer
    }
    try {
        response.body.insert(response.body.end(), data, data + n);
    } catch (...) {
        return 0;
    }
    return n;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) noexcept {
    auto& response = *static_cast<Response*>(user);
    const size_t n = size * count;
    response.headerBytes += n;
    if (response.headerBytes > MaxHeaderBytes) {
        return 0;
    }
    std::string_view line(data, n);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    // Each status line starts a new response (a redirect, an interim 100, a
    // proxy's answer to CONNECT): only the last one is reported.
    if (line.starts_with("HTTP/")) {
        response.headerLines.clear();
        response.body.clear();
    }
    if (!line.empty()) {
        try {
            response.headerLines.emplace_back(line);
        } catch (...) {
            return 0;
        }
    }
    return n;
}

// The agent: the rest of the caller's User-Agent line, else the default.
Text AgentFrom(const Text& headers) {
    constexpr std::string_view Name = "User-Agent:";
    const int at = FindText(headers, Name, 1, true);
    if (at == -1) {
        return Text(DefaultUserAgent);
    }
    const Text rest = TextMid(headers, at + TextLength(Name), TextLength(headers));
    const int end = FindText(rest, "\r\n");
    const Text agent = TrimSpaces(end == -1 ? rest : TextLeft(rest, end - 1));
    return agent.empty() ? Text(DefaultUserAgent) : agent;
}

// Adds each default line whose name the caller's block lacks (names found
// with regard to case), then the Cookie line.
void AddDefaultHeaderLines(const Text& url, const Text& cookies, Text& headers) {
    if (FindText(headers, "Referer:") == -1) {
        headers = headers.empty() ? "Referer: " + url : headers + "\r\nReferer: " + url;
    }
    if (FindText(headers, "Accept:") == -1) {
        headers += "\r\nAccept: */*";
    }
    if (FindText(headers, "Accept-Language:") == -1) {
        headers += "\r\nAccept-Language: zh-cn";
    }
    if (FindText(headers, "Content-Type:") == -1) {
        headers += "\r\nContent-Type: application/x-www-form-urlencoded";
    }
    if (!cookies.empty()) {
        headers += "\r\nCookie: " + cookies;
    }
}

bool IsHostByte(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
}

// The address handed to libcurl: scheme, host and port as the URL
// decomposition reads them, and the path exactly as written. Empty when the
// URL names no usable host or port, or libcurl cannot take the path.
std::string TransportUrl(const Text& url) {
    const Text host = UrlHost(url);
    const int port = UrlPort(url);
    if (host.empty() || port < 1 || port > 65535) {
        return {};
    }
    for (const unsigned char c : host) {
        if (!IsHostByte(c)) {
            return {};
        }
    }
    const bool secure = ToLowerText(TextLeft(url, 5)) == "https";
    std::string address = std::string(secure ? "https://" : "http://") + host + ":" +
                          std::to_string(port) + UrlPath(url);
    if (address.find('\0') != std::string::npos) {
        return {};
    }
    UrlHandle check(curl_url());
    if (!check ||
        curl_url_set(check.get(), CURLUPART_URL, address.c_str(), CURLU_PATH_AS_IS) != CURLUE_OK) {
        return {};
    }
    return address;
}

HeaderList RequestLines(const Text& headers) {
    curl_slist* list = nullptr;
    auto append = [&list](const std::string& line) {
        if (curl_slist* grown = curl_slist_append(list, line.c_str())) {
            list = grown;
            return true;
        }
        return false;
    };
    bool ok = true;
    const TextList split = SplitText(headers, "\r\n");
    for (const Text& line : split.Items()) {
        ok = ok && append(line);
    }
    // Empty values keep libcurl from adding lines of its own.
    ok = ok && append("Expect:") && append("Proxy-Connection:");
    HeaderList owned(list);
    return ok ? std::move(owned) : HeaderList{};
}

enum class Outcome { Done, Failed, Stopped };

Outcome RunTransfer(CURLM* multi, CURL* easy, const std::stop_token& stop) {
    // Registered before the first wait, so a stop at any later moment wakes it.
    std::stop_callback wake(stop, [multi] { curl_multi_wakeup(multi); });
    for (;;) {
        if (stop.stop_requested()) {
            return Outcome::Stopped;
        }
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            return Outcome::Failed;
        }
        if (running == 0) {
            break;
        }
        if (curl_multi_poll(multi, nullptr, 0, 1000, nullptr) != CURLM_OK) {
            return Outcome::Failed;
        }
    }
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
            return message->data.result == CURLE_OK ? Outcome::Done : Outcome::Failed;
        }
    }
    return Outcome::Failed;
}

// The Set-Cookie value up to its first ";" (or the end of the line).
Text CookieFromLine(const Text& line) {
    constexpr std::string_view Name = "Set-Cookie:";
    const int at = FindText(line, Name, 1, true);
    if (at == -1) {
        return {};
    }
    const Text rest = TextMid(line, at + TextLength(Name), TextLength(line));
    const int semicolon = FindText(rest, ";");
    return TrimSpaces(semicolon == -1 ? rest : TextLeft(rest, semicolon - 1));
}

void ReportResponse(const Response& response, FetchOptions& io) {
    Text block;
    for (const std::string& line : response.headerLines) {
        if (!block.empty()) {
            block += "\r\n";
        }
        block += line;
    }
    block = block.substr(0, block.find('\0'));
    const bool fits = !block.empty() && TextLength(block) + 1 <= RawHeaderBufferBytes;
    io.RawHeaders = fits ? block : BlankText(RawHeaderBufferBytes);

    io.NewCookies.clear();
    const TextList responseLines = SplitText(io.RawHeaders, "\r\n");
    for (const Text& line : responseLines.Items()) {
        if (FindText(line, "Location:") != -1) {
            io.RedirectLocation = HeaderValue(line);
        }
        if (FindText(line, "Set-Cookie") != -1) {
            // A line that yields no cookie adds no empty entry.
            const Text cookie = CookieFromLine(line);
            if (!cookie.empty()) {
                io.NewCookies += cookie + "; ";
            }
        }
    }
    io.NewCookies = TextLeft(io.NewCookies, TextLength(io.NewCookies) - 2);
    if (io.RedirectLocation.empty()) {
        io.RedirectLocation = io.RawHeaders;
    }
    MergeCookies(io.Cookies, io.NewCookies);
}

}  // namespace

ByteBuffer FetchBytes(const Text& url, FetchOptions& io) {
    const std::stop_token stop = CurrentJobStop();
    if (stop.stop_requested()) {
        return {};
    }
    InitCurlOnce();

    const bool post = io.Method != 0;
    const Text agent = AgentFrom(io.ExtraHeaders);
    const std::string address = TransportUrl(url);
    if (address.empty()) {
        return {};
    }
    MultiHandle multi(curl_multi_init());
    EasyHandle easy(curl_easy_init());
    if (!multi || !easy) {
        return {};
    }

    AddDefaultHeaderLines(url, io.Cookies, io.ExtraHeaders);
    const HeaderList lines = RequestLines(io.ExtraHeaders);
    if (!lines) {
        return {};
    }
    if (post && io.PostBytes.empty()) {
        io.PostBytes = TextToBytes(io.PostText);
    }

    Response response;
    CURL* h = easy.get();
    curl_easy_setopt(h, CURLOPT_URL, address.c_str());
    curl_easy_setopt(h, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(h, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, io.NoRedirect ? 0L : 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, MaxRedirects);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, ConnectTimeoutSeconds);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, IdleTimeoutSeconds);
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(MaxBodyBytes));
    curl_easy_setopt(h, CURLOPT_USERAGENT, agent.c_str());
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, lines.get());
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &response);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &response);

    if (!io.Proxy) {
        curl_easy_setopt(h, CURLOPT_PROXY, "");  // left out: always direct
    } else if (!io.Proxy->empty()) {
        // A named proxy serves http URLs alone, for every host.
        const bool secure = address.starts_with("https:");
        curl_easy_setopt(h, CURLOPT_PROXY, secure ? "" : io.Proxy->c_str());
        curl_easy_setopt(h, CURLOPT_NOPROXY, "");
    }
    // Supplied and empty: libcurl reads http_proxy / no_proxy itself.

    if (post) {
        static const char NoBody[] = "";
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(io.PostBytes.size()));
        curl_easy_setopt(
            h, CURLOPT_POSTFIELDS,
            io.PostBytes.empty() ? NoBody : reinterpret_cast<const char*>(io.PostBytes.data()));
        if (io.Method != 1) {
            curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, "GET");
        }
    } else {
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    }

    Outcome outcome = Outcome::Failed;
    {
        Attachment attachment(multi.get(), h);
        if (attachment.Attached()) {
            outcome = RunTransfer(multi.get(), h, stop);
        }
    }
    if (outcome == Outcome::Stopped) {
        return {};
    }
    ReportResponse(response, io);
    // A body cut short, refused for its size or never received is no page: the
    // caller gets the empty value rather than part of one.
    if (outcome != Outcome::Done || response.bodyTooLarge) {
        return {};
    }
    return std::move(response.body);
}

Text FetchPage(const Text& url, FetchOptions& io) {
    const std::optional<Text> proxy = io.Proxy;
    if (!io.Proxy) {
        io.Proxy.emplace();
    }
    const ByteBuffer body = FetchBytes(url, io);
    io.Proxy = proxy;
    return BytesToText(body);
}

Text FetchPage(const Text& url) {
    FetchOptions io;
    return FetchPage(url, io);
}
