// The site the pipeline benchmark talks to: the sample site on loopback,
// closing the connection after every response, with 100 extra listing pages
// of 最新更新 (30 entries each) for the category walk. It runs in a process of
// its own, so that its threads and pages count neither in the time nor in the
// memory of the program under test.
#pragma once

#include <sys/types.h>

#include <string>

namespace bench {

// Listing pages the category walk reads, and the rows they give.
inline constexpr int WalkPages = 100;
inline constexpr int WalkRows = WalkPages * 30;
// The walk's entries cycle through this many books, so that every hundred rows
// asks for the same hundred index pages.
inline constexpr int WalkBookCycle = 100;

// Serves the site on a free loopback port until SIGINT or SIGTERM; the first
// line on stdout is "listening on 127.0.0.1:PORT". The body of `--serve`.
int ServeBenchSite();

// The site as a child process of this one.
class SiteProcess {
  public:
    // Starts `program --serve` and reads its port; Port() is 0 on failure.
    explicit SiteProcess(const std::string& program);
    ~SiteProcess();  // stops the site
    SiteProcess(const SiteProcess&) = delete;
    SiteProcess& operator=(const SiteProcess&) = delete;

    int Port() const { return port_; }
    std::string ProxyUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }

  private:
    pid_t pid_ = -1;
    int port_ = 0;
};

}  // namespace bench
