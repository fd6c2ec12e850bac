// The sample site's server on cpp-httplib. httplib parses requests and writes
// answers; the connection underneath is our own stream, so that the site can
// keep the request head exactly as it came (httplib's header map forgets the
// order), hold a connection open without answering, and reset one in the
// middle of a body.
#include "tools/sample-site/sample_site.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "site/site_hosts.h"
#include "tools/sample-site/site_content.h"

namespace sample_site {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds PollSlice(20);
constexpr milliseconds ReadTimeout(5000);
constexpr milliseconds WriteTimeout(5000);
constexpr milliseconds KeepAliveTimeout(5000);
constexpr int MaxRequestsPerConnection = 100;
constexpr std::size_t MaxHeadBytes = 256 * 1024;
constexpr std::size_t MaxRequestBodyBytes = 16 * 1024 * 1024;
constexpr int ServingThreads = 16;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

// One client connection. httplib reads and writes through it; the site's
// handlers reach it through CurrentConnection to hold or reset it.
class Connection final : public httplib::Stream {
  public:
    Connection(int sock, const std::atomic<bool>& stopping) : sock_(sock), stopping_(stopping) {}

    bool is_readable() const override { return Buffered() || WaitFor(POLLIN, ReadTimeout); }
    bool is_writable() const override { return !abandoned && WaitFor(POLLOUT, WriteTimeout); }

    ssize_t read(char* ptr, size_t size) override {
        if (!Buffered()) {
            if (!WaitFor(POLLIN, ReadTimeout)) {
                return -1;
            }
            ssize_t n;
            do {
                n = ::recv(sock_, buffer_, sizeof buffer_, 0);
            } while (n < 0 && errno == EINTR);
            if (n <= 0) {
                return n;
            }
            begin_ = 0;
            end_ = static_cast<std::size_t>(n);
        }
        const std::size_t n = std::min(size, end_ - begin_);
        std::memcpy(ptr, buffer_ + begin_, n);
        begin_ += n;
        if (recordingHead_ && head_.size() + n <= MaxHeadBytes) {
            head_.append(ptr, n);
        }
        return static_cast<ssize_t>(n);
    }

    ssize_t write(const char* ptr, size_t size) override {
        if (abandoned || !WaitFor(POLLOUT, WriteTimeout)) {
            return -1;
        }
        ssize_t n;
        do {
            n = ::send(sock_, ptr, size, MSG_NOSIGNAL);
        } while (n < 0 && errno == EINTR);
        return n;
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        Address(::getpeername, ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        Address(::getsockname, ip, port);
    }
    int socket() const override { return sock_; }

    // Waits for the next request of a kept-alive connection.
    bool WaitForRequest() const { return Buffered() || WaitFor(POLLIN, KeepAliveTimeout); }

    void BeginHead() {
        head_.clear();
        recordingHead_ = true;
    }
    void EndHead() { recordingHead_ = false; }
    const std::string& Head() const { return head_; }

    // Reads exactly n body bytes that httplib has left unread.
    bool ReadBody(std::size_t n, std::string& out) {
        out.resize(n);
        std::size_t got = 0;
        while (got < n) {
            const ssize_t r = read(out.data() + got, n - got);
            if (r <= 0) {
                return false;
            }
            got += static_cast<std::size_t>(r);
        }
        return true;
    }

    // Sleeps for the delay; false when the client left or the site stops first.
    bool Sleep(milliseconds delay) const {
        const auto until = Clock::now() + delay;
        while (Clock::now() < until) {
            if (stopping_ || ClientGone(std::min(PollSlice, milliseconds(1)))) {
                return false;
            }
            std::this_thread::sleep_for(std::min<Clock::duration>(PollSlice, until - Clock::now()));
        }
        return true;
    }

    // Holds the connection, sending nothing, until the client goes or the
    // site stops.
    void Hold() const {
        while (!stopping_ && !ClientGone(PollSlice)) {
        }
    }

    // Closes the socket; after a cut body, with a reset instead of a close.
    void Close() {
        if (resetOnClose) {
            // Let the bytes already written leave first, so the client sees
            // part of the body and then the reset.
            const auto until = Clock::now() + milliseconds(500);
            int queued = 0;
            while (::ioctl(sock_, TIOCOUTQ, &queued) == 0 && queued > 0 && Clock::now() < until) {
                std::this_thread::sleep_for(milliseconds(2));
            }
            const linger hard{1, 0};
            ::setsockopt(sock_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        } else {
            ::shutdown(sock_, SHUT_RDWR);
        }
        ::close(sock_);
    }

    bool abandoned = false;     // write nothing more, close after this request
    bool resetOnClose = false;  // end with a TCP reset
    bool closeAfterResponse = false;

  private:
    bool Buffered() const { return begin_ < end_; }

    bool WaitFor(short events, milliseconds timeout) const {
        const auto until = Clock::now() + timeout;
        for (;;) {
            if (stopping_) {
                return false;
            }
            pollfd p{sock_, events, 0};
            const int r = ::poll(&p, 1, static_cast<int>(PollSlice.count()));
            if (r > 0) {
                return (p.revents & (events | POLLHUP)) != 0;
            }
            if ((r < 0 && errno != EINTR) || Clock::now() >= until) {
                return false;
            }
        }
    }

    bool ClientGone(milliseconds wait) const {
        pollfd p{sock_, POLLRDHUP, 0};
        const int r = ::poll(&p, 1, static_cast<int>(wait.count()));
        return r > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
    }

    template <class GetName>
    void Address(GetName getName, std::string& ip, int& port) const {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        ip.clear();
        port = 0;
        if (getName(sock_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
            address.ss_family != AF_INET) {
            return;
        }
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
        ip = text;
        port = ntohs(v4.sin_port);
    }

    int sock_;
    const std::atomic<bool>& stopping_;
    char buffer_[16384];
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool recordingHead_ = false;
    std::string head_;
};

thread_local Connection* CurrentConnection = nullptr;

// Request line and header lines out of a recorded head.
void ParseHead(RecordedRequest& request) {
    std::string_view rest = request.Head;
    bool first = true;
    while (!rest.empty()) {
        const std::size_t end = rest.find("\r\n");
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 2);
        if (first) {
            first = false;
            const std::size_t space1 = line.find(' ');
            const std::size_t space2 = line.rfind(' ');
            request.Method = std::string(line.substr(0, space1));
            if (space1 != std::string_view::npos && space2 > space1) {
                request.Target = std::string(line.substr(space1 + 1, space2 - space1 - 1));
            }
            continue;
        }
        if (line.empty()) {
            break;
        }
        const std::size_t colon = line.find(':');
        std::string_view value =
            colon == std::string_view::npos ? std::string_view() : line.substr(colon + 1);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
            value.remove_prefix(1);
        }
        while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) {
            value.remove_suffix(1);
        }
        request.Headers.emplace_back(std::string(line.substr(0, colon)), std::string(value));
    }
    // Keep the head without its closing blank line.
    if (request.Head.ends_with("\r\n\r\n")) {
        request.Head.resize(request.Head.size() - 2);
    }
}

struct HostAndPath {
    std::string host;    // lower case, without port
    std::string target;  // "/path?query"
    bool absolute = false;
};

HostAndPath SplitTarget(const RecordedRequest& request) {
    HostAndPath out;
    std::string_view target = request.Target;
    const std::string hostHeader = request.Header("Host");
    std::string_view authority = hostHeader;
    if (target.size() >= 7 && EqualsIgnoringCase(target.substr(0, 7), "http://")) {
        out.absolute = true;
        target.remove_prefix(7);
        const std::size_t slash = target.find_first_of("/?");
        authority = target.substr(0, slash);
        target = slash == std::string_view::npos ? std::string_view() : target.substr(slash);
    }
    out.host = Lower(authority.substr(0, authority.find(':')));
    out.target = target.empty() || target[0] != '/' ? "/" + std::string(target) : target;
    return out;
}

const std::string& Filler() {
    static const std::string block = [] {
        std::string text = "<!-- filler -->\r\n";
        std::string out;
        while (out.size() + text.size() <= 65536) {
            out += text;
        }
        out.resize(65536, ' ');
        return out;
    }();
    return block;
}

}  // namespace

std::string RecordedRequest::Header(std::string_view name) const {
    for (const auto& [key, value] : Headers) {
        if (EqualsIgnoringCase(key, name)) {
            return value;
        }
    }
    return {};
}

int RecordedRequest::HeaderCount(std::string_view name) const {
    return static_cast<int>(std::count_if(Headers.begin(), Headers.end(), [&](const auto& header) {
        return EqualsIgnoringCase(header.first, name);
    }));
}

class SampleSite::Impl {
  public:
    explicit Impl(SiteOptions options) : options_(options), server_(*this) {
        server_.new_task_queue = [] { return new httplib::ThreadPool(ServingThreads); };
        // Only SO_REUSEADDR: a second site must never share a fixed port.
        server_.set_socket_options([](int sock) {
            const int yes = 1;
            ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        });
        server_.set_pre_routing_handler(
            [this](const httplib::Request& request, httplib::Response& response) {
                Serve(request, response);
                return httplib::Server::HandlerResponse::Handled;
            });
    }

    bool Start() {
        if (thread_.joinable()) {
            return true;
        }
        stopping_ = false;
        if (options_.Port == 0) {
            port_ = server_.bind_to_any_port("127.0.0.1");
        } else if (server_.bind_to_port("127.0.0.1", options_.Port)) {
            port_ = options_.Port;
        }
        if (port_ <= 0) {
            port_ = 0;
            return false;
        }
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        // httplib's stop() does nothing until the accept loop runs.
        while (!server_.is_running()) {
            std::this_thread::sleep_for(milliseconds(1));
        }
        return true;
    }

    void Stop() {
        if (!thread_.joinable()) {
            return;
        }
        stopping_ = true;
        server_.stop();
        thread_.join();
    }

    int Port() const { return port_; }

    std::vector<RecordedRequest> Requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    void ClearRequests() {
        std::lock_guard lock(mutex_);
        requests_.clear();
    }
    void AddRoute(std::string path, Route route) {
        std::lock_guard lock(mutex_);
        routes_.emplace_back(std::move(path), std::move(route));
    }

  private:
    class Server final : public httplib::Server {
      public:
        explicit Server(Impl& site) : site_(site) {}

      private:
        // Runs on a serving thread for each accepted connection.
        bool process_and_close_socket(socket_t sock) override {
            Connection connection(sock, site_.stopping_);
            CurrentConnection = &connection;
            bool ok = true;
            for (int served = 0; served < MaxRequestsPerConnection; ++served) {
                if (!connection.WaitForRequest()) {
                    break;
                }
                const bool closeAfter =
                    site_.options_.CloseAfterEachResponse || served + 1 == MaxRequestsPerConnection;
                bool closedByClient = false;
                connection.BeginHead();
                ok = process_request(connection, closeAfter, closedByClient,
                                     [&connection](httplib::Request&) { connection.EndHead(); });
                if (!ok || closeAfter || closedByClient || connection.abandoned ||
                    connection.closeAfterResponse) {
                    break;
                }
            }
            CurrentConnection = nullptr;
            connection.Close();
            return ok;
        }

        Impl& site_;
    };

    void Serve(const httplib::Request& request, httplib::Response& response) {
        Connection& connection = *CurrentConnection;
        RecordedRequest record;
        record.Head = connection.Head();
        ParseHead(record);

        // httplib reads a body only after routing, so the site reads it here.
        const std::string length = record.Header("Content-Length");
        if (!length.empty()) {
            const unsigned long long n = std::strtoull(length.c_str(), nullptr, 10);
            if (n > MaxRequestBodyBytes || !connection.ReadBody(n, record.Body)) {
                connection.closeAfterResponse = true;
                response.status = 413;
                return;
            }
        } else if (!record.Header("Transfer-Encoding").empty()) {
            connection.closeAfterResponse = true;
            response.status = 411;
            return;
        }
        if (record.Method.empty()) {
            record.Method = request.method;
        }

        Route route;
        const HostAndPath where = SplitTarget(record);
        {
            std::lock_guard lock(mutex_);
            if (options_.RecordRequests) {
                requests_.push_back(record);
            }
            const std::string path = where.target.substr(0, where.target.find('?'));
            for (const auto& [routePath, handler] : routes_) {
                if (routePath == path) {
                    route = handler;
                    break;
                }
            }
        }
        if (route) {
            Answer(route(record), response);
            return;
        }

        SiteHost host = SiteHost::Any;
        if (where.host == BookHost) {
            host = SiteHost::Book;
        } else if (where.host == SearchHost) {
            host = SiteHost::Search;
        } else if (where.absolute && where.host != "127.0.0.1" && where.host != "localhost") {
            // As a proxy the site reaches nothing but itself.
            response.status = 502;
            response.set_content("502 Bad Gateway: the sample site knows no host " + where.host,
                                 "text/plain");
            return;
        }
        Deliver(RenderPage(host, where.target), connection, response);
    }

    static void Answer(const Reply& reply, httplib::Response& response) {
        response.status = reply.Status;
        for (const auto& [name, value] : reply.Headers) {
            response.headers.emplace(name, value);
        }
        response.set_content(reply.Body, reply.ContentType);
    }

    static void Deliver(SitePage page, Connection& connection, httplib::Response& response) {
        static const std::string ContentType = "text/html; charset=gbk";
        if (page.Delay.count() > 0 && !connection.Sleep(page.Delay)) {
            connection.abandoned = true;
            return;
        }
        switch (page.How) {
            case Delivery::NeverAnswer:
                connection.Hold();
                connection.abandoned = true;
                return;
            case Delivery::ResetMidBody: {
                auto body = std::make_shared<std::string>(std::move(page.Body));
                response.set_content_provider(
                    body->size(), ContentType,
                    [body, &connection](size_t, size_t, httplib::DataSink& sink) {
                        sink.write(body->data(), body->size() / 2);
                        connection.resetOnClose = true;
                        return false;
                    });
                return;
            }
            case Delivery::Stream: {
                auto head = std::make_shared<std::string>(std::move(page.Body));
                const std::uint64_t total = page.StreamBytes;
                // Writes the bytes from offset on, at most one filler block.
                auto writeFrom = [head, total](std::uint64_t offset, httplib::DataSink& sink) {
                    if (offset < head->size()) {
                        return sink.write(head->data() + offset, head->size() - offset);
                    }
                    const std::size_t n = static_cast<std::size_t>(
                        std::min<std::uint64_t>(Filler().size(), total - offset));
                    return sink.write(Filler().data(), n);
                };
                if (page.Chunked) {
                    response.set_chunked_content_provider(
                        ContentType, [writeFrom, total](size_t offset, httplib::DataSink& sink) {
                            if (offset >= total) {
                                sink.done();
                                return true;
                            }
                            return writeFrom(offset, sink);
                        });
                } else {
                    response.set_content_provider(
                        static_cast<size_t>(total), ContentType,
                        [writeFrom](size_t offset, size_t, httplib::DataSink& sink) {
                            return writeFrom(offset, sink);
                        });
                }
                return;
            }
            case Delivery::Whole:
                break;
        }
        response.status = page.Status;
        if (!page.Location.empty()) {
            response.headers.emplace("Location", page.Location);
        }
        response.set_content(page.Body, ContentType);
    }

    SiteOptions options_;
    Server server_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    int port_ = 0;
    mutable std::mutex mutex_;
    std::vector<RecordedRequest> requests_;
    std::vector<std::pair<std::string, Route>> routes_;
};

SampleSite::SampleSite(SiteOptions options) : impl_(std::make_unique<Impl>(options)) {}
SampleSite::~SampleSite() {
    impl_->Stop();
}
bool SampleSite::Start() {
    return impl_->Start();
}
int SampleSite::Port() const {
    return impl_->Port();
}
std::string SampleSite::BaseUrl() const {
    return "http://127.0.0.1:" + std::to_string(Port());
}
void SampleSite::Stop() {
    impl_->Stop();
}
std::vector<RecordedRequest> SampleSite::Requests() const {
    return impl_->Requests();
}
void SampleSite::ClearRequests() {
    impl_->ClearRequests();
}
void SampleSite::AddRoute(std::string path, Route route) {
    impl_->AddRoute(std::move(path), std::move(route));
}

int ServeUntilSignalled(SampleSite& site, const char* program, int askedPort) {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    if (!site.Start()) {
        if (askedPort == 0) {
            std::fprintf(stderr, "%s: cannot listen on loopback\n", program);
        } else {
            std::fprintf(stderr, "%s: cannot listen on 127.0.0.1:%d\n", program, askedPort);
        }
        return 1;
    }
    std::printf("listening on 127.0.0.1:%d\n", site.Port());
    std::fflush(stdout);

    int received = 0;
    sigwait(&signals, &received);
    site.Stop();
    return 0;
}

void UseAsHttpProxy(const std::string& proxyUrl) {
    ::setenv("http_proxy", proxyUrl.c_str(), 1);
    ::unsetenv("no_proxy");
    ::unsetenv("NO_PROXY");
}

}  // namespace sample_site
