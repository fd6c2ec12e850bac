// The benchmark's site process: the sample site with the walk's listing pages.
#include "bench/bench_site.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "text/codec.h"
#include "tools/sample-site/sample_site.h"
#include "tools/sample-site/site_content.h"

extern char** environ;

namespace bench {
namespace {

Text G(std::string_view utf8) {
    return Utf8ToGbk(utf8);
}

// Listing page `page` of 最新更新 as the site writes one: 30 entries between
// <div class="nrrk"> and </span>, book and author links with their titles.
std::string WalkListingPage(int page) {
    Text body =
        "<!DOCTYPE html>\r\n<html><head><meta http-equiv=\"Content-Type\" "
        "content=\"text/html; charset=gbk\" />\r\n<title>" +
        G("最新更新_幻侠小说网") + "</title></head>\r\n<body>\r\n";
    body += "<div class=\"booklist\"><h2>" + G("最新更新") + "</h2>\r\n";
    for (int i = 0; i < 30; ++i) {
        const int row = (page - 1) * 30 + i;
        const std::string id = std::to_string(sample_site::FirstBookId + row % WalkBookCycle);
        const sample_site::BookFacts book = *sample_site::FindBook(id);
        body += "<div class=\"nrrk\">\r\n<div class=\"pic\"><a href=\"/book" + id +
                ".html\" title=\"" + book.Name + "\"><img src=\"/img/" + id + ".jpg\" alt=\"" +
                book.Name + "\" /></a></div>\r\n";
        body += "<div class=\"info\"><h3><a href=\"/book" + id + ".html\" title=\"" + book.Name +
                "\">" + book.Name + "</a></h3>\r\n";
        body += "<p class=\"author\">" + G("作者：") + "<a href=\"/user" + book.AuthorId +
                ".html\" title=\"" + book.Author + "\">" + book.Author + "</a></p>\r\n";
        body += "<p class=\"intro\">" + G("一段关于江湖的传奇故事，在古老的土地上徐徐展开。") +
                "</p>\r\n";
        body +=
            "<span class=\"update\">" + G("更新至：第一百章 归来") + "</span>\r\n</div></div>\r\n";
    }
    body += "</div>\r\n<div class=\"pager\">" + G("第") + std::to_string(page) + "/" +
            std::to_string(WalkPages) + G("页") + "</div>\r\n</body></html>\r\n";
    return body;
}

}  // namespace

int ServeBenchSite() {
    sample_site::SampleSite site(sample_site::SiteOptions{
        .Port = 0, .CloseAfterEachResponse = true, .RecordRequests = false});
    for (int page = 1; page <= WalkPages; ++page) {
        // Made once: the site's own pages are made on every request, but these
        // are the benchmark's and should cost the site nothing.
        const std::string body = WalkListingPage(page);
        site.AddRoute("/novel_9_" + std::to_string(page) + ".html",
                      [body](const sample_site::RecordedRequest&) {
                          sample_site::Reply reply;
                          reply.Body = body;
                          return reply;
                      });
    }
    return sample_site::ServeUntilSignalled(site, "bench site", 0);
}

SiteProcess::SiteProcess(const std::string& program) {
    int out[2];
    if (::pipe(out) != 0) {
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const char* argv[] = {program.c_str(), "--serve", nullptr};
    const int spawned =
        ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) {
        pid_ = -1;
        ::close(out[0]);
        return;
    }
    std::string line;
    char c = 0;
    while (::read(out[0], &c, 1) == 1 && c != '\n') {
        line += c;
    }
    ::close(out[0]);
    const std::string prefix = "listening on 127.0.0.1:";
    if (line.starts_with(prefix)) {
        port_ = std::stoi(line.substr(prefix.size()));
    }
}

SiteProcess::~SiteProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}

}  // namespace bench
