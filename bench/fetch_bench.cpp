// How long a stopped fetch takes to return: a fetch waits on a page of the
// sample site that never answers, the job is stopped, and the time from the
// stop request to the fetch's return is measured. Also the cost of one plain
// fetch of a book index page over loopback.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <stop_token>
#include <thread>

#include "tools/sample-site/sample_site.h"
#include "tools/sample-site/site_content.h"
#include "web/fetch.h"
#include "web/job_stop.h"

namespace {

sample_site::SampleSite& Site() {
    static sample_site::SampleSite site = [] {
        ::unsetenv("http_proxy");
        ::unsetenv("HTTP_PROXY");
        return sample_site::SampleSite(sample_site::SiteOptions{0, false, true});
    }();
    static const bool started = site.Start();
    (void)started;
    return site;
}

void BM_StoppedFetchReturns(benchmark::State& state) {
    sample_site::SampleSite& site = Site();
    const Text url = site.BaseUrl() + "/book" + std::to_string(sample_site::special::NeverAnswers) +
                     "_novel.html";
    for (auto _ : state) {
        site.ClearRequests();
        std::stop_source stop;
        Text page = "unset";
        std::thread job([&] {
            ScopedJobStop bind(stop.get_token());
            page = FetchPage(url);
        });
        while (site.Requests().empty()) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        // Let the fetch settle into its wait before stopping it.
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const auto stopped = std::chrono::steady_clock::now();
        stop.request_stop();
        job.join();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - stopped;
        state.SetIterationTime(took.count());
        if (!page.empty()) {
            state.SkipWithError("a stopped fetch returned a page");
        }
    }
}

void BM_FetchIndexPage(benchmark::State& state) {
    sample_site::SampleSite& site = Site();
    const Text url = site.BaseUrl() + "/book1001_novel.html";
    for (auto _ : state) {
        site.ClearRequests();
        benchmark::DoNotOptimize(FetchPage(url));
    }
}

}  // namespace

BENCHMARK(BM_StoppedFetchReturns)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_FetchIndexPage)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
