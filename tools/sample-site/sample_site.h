// The sample site as a server on the loopback interface. It answers as the
// origin of the book host and the search host (a request for "/..." with
// either Host) and as their HTTP proxy (a request for "http://host/..."), so
// the program reaches it through http_proxy without any change. Tests start
// it in-process on a free port and read back every request it received,
// exactly as it came over the wire.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sample_site {

struct RecordedRequest {
    std::string Method;
    std::string Target;  // as on the request line: "/path?q" or "http://host/path?q"
    // Header lines in the order received, names and values as sent.
    std::vector<std::pair<std::string, std::string>> Headers;
    // The request line and the header lines as received, each ending in CRLF,
    // without the blank line that closes them.
    std::string Head;
    std::string Body;

    // The value of the first header of this name (any case); empty without one.
    std::string Header(std::string_view name) const;
    // How many header lines have this name (any case).
    int HeaderCount(std::string_view name) const;
};

// An answer of a route that a test adds.
struct Reply {
    int Status = 200;
    std::vector<std::pair<std::string, std::string>> Headers;  // sent as given
    std::string Body;
    std::string ContentType = "text/html; charset=gbk";
};
using Route = std::function<Reply(const RecordedRequest&)>;

struct SiteOptions {
    int Port = 0;                         // 0: a free loopback port
    bool CloseAfterEachResponse = false;  // "Connection: close" on every answer
    bool RecordRequests = true;
};

class SampleSite {
  public:
    explicit SampleSite(SiteOptions options = {});
    ~SampleSite();  // stops the site
    SampleSite(const SampleSite&) = delete;
    SampleSite& operator=(const SampleSite&) = delete;

    // Binds 127.0.0.1 and starts serving on threads of its own; false when
    // the port cannot be bound.
    bool Start();
    int Port() const;
    // "http://127.0.0.1:PORT"
    std::string BaseUrl() const;
    // Ends every connection, also those held open by pages that never answer,
    // and waits for the serving threads.
    void Stop();

    std::vector<RecordedRequest> Requests() const;
    void ClearRequests();

    // Answers every request whose path (before any '?') is exactly path, on
    // any host, ahead of the site's own pages.
    void AddRoute(std::string path, Route route);

  private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

// Serves site from the calling thread until SIGINT or SIGTERM: blocks both
// (the serving threads inherit the mask, so this thread takes them), starts
// the site, prints "listening on 127.0.0.1:PORT" on stdout, waits, stops.
// 0; 1 when the port cannot be bound, said on stderr after program's name
// with the port asked for (0: any).
int ServeUntilSignalled(SampleSite& site, const char* program, int askedPort);

// Sends every http fetch of this process and its children through proxyUrl,
// with no exceptions: sets http_proxy and clears no_proxy.
void UseAsHttpProxy(const std::string& proxyUrl);

}  // namespace sample_site
