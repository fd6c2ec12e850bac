// The pipeline benchmark: the program's speed and memory against what the
// network alone costs, every figure a ratio or a rate measured in this run.
//
//   bench_pipeline [--workdir DIR] [--repeat N] [--stops N] [--only 1,2,...]
//
// --repeat: rounds of figures 1 and 2 (default 9; figures 3 and 5 run half
// as many, at least 3).
//
// It starts the benchmark's site (bench/bench_site.h) in a child process and
// sends every fetch there through http_proxy, as the program does. Figures:
//   1  2,000-chapter download by DownloadJob with a window that does nothing,
//      against one curl process fetching the same 2,000 chapter URLs
//   2  the same download through the real window (offscreen)
//   3  a category walk of 100 listing pages through the real window, against
//      the same 3,100 fetches in a loop; ms per row, first and last hundred
//   4  StopJob latency at random moments of a download and of a fetch that
//      never answers
//   5  the longest stall of the window thread during the download with both
//      progress timers running
//   6  peak memory of the program: the download, and the 10,000-chapter index
//      page held by the catalogue job and by the download job
// `--serve` and `--memory CASE` are the child processes it starts itself.
#include <QApplication>
#include <QTimer>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_site.h"
#include "bench/drivers.h"
#include "bench/measure.h"
#include "site/site_profile.h"
#include "text/codec.h"
#include "text/files.h"
#include "tools/sample-site/sample_site.h"
#include "tools/sample-site/site_content.h"
#include "ui/book_list.h"
#include "ui/main_window.h"
#include "ui/window_controller.h"
#include "web/fetch.h"

namespace {

using namespace bench;

constexpr int DownloadBookId = sample_site::special::TwoThousandChapters;
constexpr int HugeIndexBookId = sample_site::special::TenThousandChapters;

struct Options {
    std::string workdir;
    int repeat = 9;
    int stops = 200;
    std::set<int> only;
    bool Wants(int figure) const { return only.empty() || only.contains(figure); }
};

std::string SelfPath() {
    std::string path(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    path.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return path;
}

std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

const char* Verdict(bool met) {
    return met ? "met" : "MISSED";
}

// The summary printed at the end, one line per figure.
struct Row {
    std::string figure, goal, measured;
    bool met = false;
};
std::vector<Row> Summary;

void Report(std::string figure, std::string goal, std::string measured, bool met) {
    Summary.push_back({std::move(figure), std::move(goal), std::move(measured), met});
}

std::string Format(const char* format, auto... values) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, format, values...);
    return buffer;
}

// ---------------------------------------------------------------- figures 1, 2, 5

void DownloadFigures(const Options& options, const std::string& proxy, WindowDriver& driver,
                     const Text& directory) {
    const ListedBook book = SiteBook(DownloadBookId);
    const std::string curlConfig = options.workdir + "/curl-chapters.conf";
    const std::string curlOutput = options.workdir + "/curl-out";
    WriteCurlConfig(curlConfig, book, curlOutput);

    std::printf(
        "\n[1, 2] Download of %d chapters (pages of about 4 KB; the site closes every "
        "connection)\n",
        book.chapters);
    // One of each first, not counted: page cache, site and curl warm.
    HeadlessDownload(directory, book);
    CurlDownload(proxy, curlConfig, curlOutput);

    std::vector<double> ours, curl, window, oursCpu, curlCpu, windowCpu, windowThreadCpu, paints;
    std::printf("  %-4s %14s %10s %14s   files ours/curl/window\n", "run", "ours(no-op)", "curl",
                "real window");
    bool allFiles = true;
    for (int i = 1; i <= options.repeat; ++i) {
        const DownloadRun a = HeadlessDownload(directory, book);
        const DownloadRun b = CurlDownload(proxy, curlConfig, curlOutput);
        const WindowDriver::TimedDownload c = driver.Download(book, false, false);
        ours.push_back(a.ms);
        curl.push_back(b.ms);
        window.push_back(c.ms);
        oursCpu.push_back(a.cpuMs);
        curlCpu.push_back(b.cpuMs);
        windowCpu.push_back(c.cpuMs);
        windowThreadCpu.push_back(c.windowCpuMs);
        paints.push_back(c.listPaints);
        allFiles = allFiles && a.files == book.chapters && b.files == book.chapters &&
                   c.files == book.chapters && c.asked;
        std::printf("  %-4d %11.0f ms %7.0f ms %11.0f ms   %d/%d/%d\n", i, a.ms, b.ms, c.ms,
                    a.files, b.files, c.files);
    }
    const double m1 = Median(ours), mc = Median(curl), m2 = Median(window);
    // Each round runs the three one after another, so a round's ratios see the
    // same load; their median is the figure.
    std::vector<double> oursRatio, windowRatio;
    for (std::size_t i = 0; i < curl.size(); ++i) {
        oursRatio.push_back(ours[i] / curl[i]);
        windowRatio.push_back(window[i] / curl[i]);
    }
    const double r1 = Median(oursRatio), r2 = Median(windowRatio);
    std::printf("  median: ours %.0f ms, curl %.0f ms, real window %.0f ms\n", m1, mc, m2);
    std::printf(
        "  ours / curl        = %.3f, median of the rounds  (goal <= 1.10)  %s  "
        "[ratio of the medians %.3f]\n",
        r1, Verdict(r1 <= 1.10), m1 / mc);
    std::printf(
        "  real window / curl = %.3f, median of the rounds  (goal <= 1.25)  %s  "
        "[ratio of the medians %.3f]\n",
        r2, Verdict(r2 <= 1.25), m2 / mc);
    std::printf("  per chapter: ours %.3f ms, curl %.3f ms, real window %.3f ms\n",
                m1 / book.chapters, mc / book.chapters, m2 / book.chapters);
    std::printf(
        "  CPU time (median): ours %.0f ms, curl %.0f ms, real window %.0f ms (of which "
        "the window thread %.0f ms)\n",
        Median(oursCpu), Median(curlCpu), Median(windowCpu), Median(windowThreadCpu));
    std::printf("  the book list was painted %.0f times per download (median)\n", Median(paints));
    const WindowDriver::RoundTrips trips = driver.TimeRoundTrips(book.chapters);
    std::printf("  one window call from the job: ListSetCell %.3f ms, GetProgress %.3f ms\n",
                trips.setCellMs, trips.readMs);
    if (!allFiles) {
        std::printf("  WARNING: some run did not save every chapter\n");
    }
    Report("1 download, no-op window / curl", "<= 1.10",
           Format("%.3f (medians %.0f / %.0f ms)", r1, m1, mc), r1 <= 1.10 && allFiles);
    Report("2 download, real window / curl", "<= 1.25",
           Format("%.3f (medians %.0f / %.0f ms)", r2, m2, mc), r2 <= 1.25 && allFiles);
}

void StallFigure(const Options& options, WindowDriver& driver) {
    const ListedBook book = SiteBook(DownloadBookId);
    std::printf(
        "\n[5] Window thread: longest gap between ticks of a 10 ms timer during the "
        "download,\n    FetchTimer and DownloadTimer both running at 100 ms\n");
    std::vector<double> busy, idle;
    for (int i = 1; i <= std::max(3, options.repeat / 2); ++i) {
        const WindowDriver::TimedDownload run = driver.Download(book, true, true);
        // The same timer with nothing running, as long: what the machine alone costs.
        const double quiet = driver.IdleLongestGap(static_cast<int>(run.ms));
        busy.push_back(run.longestGapMs);
        idle.push_back(quiet);
        std::printf(
            "  run %d: download %.0f ms, longest gap %.1f ms (idle window, same time: "
            "%.1f ms)\n",
            i, run.ms, run.longestGapMs, quiet);
    }
    const double worst = Maximum(busy);
    std::printf(
        "  longest gap: %.1f ms over all runs, median of runs %.1f ms; idle %.1f ms  "
        "(goal < 30 ms)  %s\n",
        worst, Median(busy), Maximum(idle), Verdict(worst < 30));
    Report("5 longest window stall (10 ms timer)", "< 30 ms",
           Format("%.1f ms (idle %.1f ms)", worst, Maximum(idle)), worst < 30);
}

// ---------------------------------------------------------------- figure 3

struct WalkTimes {
    double cpuMs = 0;
    double totalMs = 0;
    double firstHundredMsPerRow = 0;
    double lastHundredMsPerRow = 0;
};

WalkTimes TimesOf(Clock::time_point start, const std::vector<Clock::time_point>& rows) {
    WalkTimes t;
    if (rows.size() < 200) {
        return t;
    }
    const std::size_t n = rows.size();
    t.totalMs = MillisBetween(start, rows[n - 1]);
    t.firstHundredMsPerRow = MillisBetween(start, rows[99]) / 100;
    t.lastHundredMsPerRow = MillisBetween(rows[n - 101], rows[n - 1]) / 100;
    return t;
}

// The walk's 3,100 URLs in the order the catalogue job asks for them, fetched
// one after another; a time after each index page, as a row would appear.
WalkTimes FetchesAlone() {
    std::vector<Text> urls;
    std::vector<bool> isRow;
    for (int page = 1; page <= WalkPages; ++page) {
        urls.push_back(CategoryPageUrl("", page));
        isRow.push_back(false);
        for (int i = 0; i < BooksPerListingPage; ++i) {
            const int row = (page - 1) * BooksPerListingPage + i;
            urls.push_back(
                BookIndexUrl(std::to_string(sample_site::FirstBookId + row % WalkBookCycle)));
            isRow.push_back(true);
        }
    }
    std::vector<Clock::time_point> rows;
    rows.reserve(WalkRows);
    const double cpu = ProcessCpuMs();
    const Clock::time_point start = Clock::now();
    for (std::size_t k = 0; k < urls.size(); ++k) {
        const Text page = FetchPage(urls[k]);
        if (isRow[k] && !page.empty()) {
            rows.push_back(Clock::now());
        }
    }
    WalkTimes times = rows.size() == WalkRows ? TimesOf(start, rows) : WalkTimes{};
    times.cpuMs = ProcessCpuMs() - cpu;
    return times;
}

void WalkFigure(const Options& options, WindowDriver& driver) {
    std::printf("\n[3] Category walk: %d listing pages, %d rows, %d fetches\n", WalkPages, WalkRows,
                WalkPages + WalkRows);
    std::printf("  %-4s %12s %12s %12s   ms/row first 100, last 100: window | fetches\n", "run",
                "window", "no-op window", "fetches");
    FetchesAlone();  // warm, not counted
    std::vector<double> window, headless, alone, winFirst, winLast, aloneFirst, aloneLast;
    std::vector<double> windowCpu, windowThreadCpu, headlessCpu, aloneCpu;
    bool complete = true;
    for (int i = 1; i <= std::max(3, options.repeat / 2); ++i) {
        const WindowDriver::TimedWalk walk = driver.CategoryWalk(WalkPages);
        const WalkTimes w = TimesOf(walk.start, walk.rows);
        const HeadlessWalkRun job = HeadlessWalk(WalkPages);
        const WalkTimes h = TimesOf(job.start, job.rows);
        const WalkTimes f = FetchesAlone();
        complete = complete && walk.complete && w.totalMs > 0 && f.totalMs > 0 &&
                   job.rows.size() == WalkRows;
        window.push_back(w.totalMs);
        headless.push_back(h.totalMs);
        alone.push_back(f.totalMs);
        windowCpu.push_back(walk.cpuMs);
        windowThreadCpu.push_back(walk.windowCpuMs);
        headlessCpu.push_back(job.cpuMs);
        aloneCpu.push_back(f.cpuMs);
        winFirst.push_back(w.firstHundredMsPerRow);
        winLast.push_back(w.lastHundredMsPerRow);
        aloneFirst.push_back(f.firstHundredMsPerRow);
        aloneLast.push_back(f.lastHundredMsPerRow);
        std::printf("  %-4d %9.0f ms %9.0f ms %9.0f ms   %.3f, %.3f | %.3f, %.3f\n", i, w.totalMs,
                    h.totalMs, f.totalMs, w.firstHundredMsPerRow, w.lastHundredMsPerRow,
                    f.firstHundredMsPerRow, f.lastHundredMsPerRow);
    }
    std::vector<double> ratios;
    for (std::size_t i = 0; i < window.size(); ++i) {
        ratios.push_back(window[i] / alone[i]);
    }
    const double ratio = Median(ratios);
    // Growth from the first hundred rows to the last, judged like the ratio:
    // within each round, then the median of the rounds, so that one round's
    // stall in either hundred does not decide it.
    std::vector<double> growths, aloneGrowths;
    for (std::size_t i = 0; i < winFirst.size(); ++i) {
        growths.push_back(winLast[i] / winFirst[i]);
        aloneGrowths.push_back(aloneLast[i] / aloneFirst[i]);
    }
    const double growth = Median(growths);
    const double aloneGrowth = Median(aloneGrowths);
    std::printf(
        "  median: window %.0f ms, fetches alone %.0f ms -> %.3f, median of the rounds  "
        "(goal <= 1.15)  %s  [ratio of the medians %.3f]\n",
        Median(window), Median(alone), ratio, Verdict(ratio <= 1.15 && complete),
        Median(window) / Median(alone));
    std::printf(
        "  ms/row through the window: first hundred %.3f, last hundred %.3f; last / first %.3f, "
        "median of the rounds (fetches alone: %.3f, %.3f; %.3f)\n",
        Median(winFirst), Median(winLast), growth, Median(aloneFirst), Median(aloneLast),
        aloneGrowth);
    std::printf("  the job with a no-op window: %.0f ms -> %.3f times the fetches alone\n",
                Median(headless), Median(headless) / Median(alone));
    std::printf(
        "  CPU time (median): window %.0f ms (of which the window thread %.0f ms), no-op "
        "window %.0f ms, fetches alone %.0f ms\n",
        Median(windowCpu), Median(windowThreadCpu), Median(headlessCpu), Median(aloneCpu));
    if (!complete) {
        std::printf("  WARNING: some walk did not end with every row and 状态：获取完成\n");
    }
    Report("3 category walk, window / fetches", "<= 1.15",
           Format("%.3f (medians %.0f / %.0f ms)", ratio, Median(window), Median(alone)),
           ratio <= 1.15 && complete);
    // Flat: the last hundred rows cost no more than the first, within the noise
    // the fetches alone show between the same two hundreds.
    Report("3 ms/row, last 100 / first 100", "flat (~1.0)",
           Format("%.3f (%.3f -> %.3f ms/row; fetches %.3f)", growth, Median(winFirst),
                  Median(winLast), aloneGrowth),
           growth <= std::max(1.10, aloneGrowth * 1.10));
}

// ---------------------------------------------------------------- figure 4

void StopFigure(const Options& options, WindowDriver& driver) {
    const ListedBook book = SiteBook(DownloadBookId);
    std::printf("\n[4] StopJob latency at %d random moments\n", options.stops);
    std::mt19937 random(20240601);
    std::uniform_int_distribution<int> inDownload(0, 149);
    std::uniform_int_distribution<int> inHang(0, 49);
    std::vector<double> download, hang;
    for (int i = 0; i < options.stops; ++i) {
        download.push_back(driver.StopDuringDownload(book, inDownload(random)));
    }
    for (int i = 0; i < options.stops; ++i) {
        hang.push_back(driver.StopDuringHangingFetch(inHang(random)));
    }
    auto line = [](const char* what, const std::vector<double>& v) {
        std::printf(
            "  %-38s median %6.2f ms, p99 %6.2f ms, max %6.2f ms  (goal max < 50 ms)  "
            "%s\n",
            what, Median(v), Quantile(v, 0.99), Maximum(v), Verdict(Maximum(v) < 50));
    };
    line("download (0-150 ms after the command):", download);
    line("fetch that never answers (0-50 ms):", hang);
    Report("4 StopJob during a download", "max < 50 ms",
           Format("med %.2f, p99 %.2f, max %.2f ms", Median(download), Quantile(download, 0.99),
                  Maximum(download)),
           Maximum(download) < 50);
    Report("4 StopJob during a fetch that never answers", "max < 50 ms",
           Format("med %.2f, p99 %.2f, max %.2f ms", Median(hang), Quantile(hang, 0.99),
                  Maximum(hang)),
           Maximum(hang) < 50);
}

// ---------------------------------------------------------------- figure 6

// Runs in a child process of its own, so that nothing else counts in its
// peak: the window alone first, then one case. Prints "BASE PEAK OK" in kB.
int MemoryCase(const std::string& which, const Text& directory) {
    WindowDriver driver(directory);
    const long base = PeakResidentKb();
    bool ok = false;
    if (which == "download") {
        const ListedBook book = SiteBook(DownloadBookId);
        const WindowDriver::TimedDownload run = driver.Download(book, false, false);
        ok = run.asked && run.files == book.chapters;
    } else if (which == "catalogue-huge") {
        ok = driver.FetchById(std::to_string(HugeIndexBookId)) &&
             driver.Window().BookList()->rowCount() == 1 &&
             TextToInt(Utf8ToGbk(driver.Window().BookList()->Cell(0, 4).toStdString())) == 10000;
    } else if (which == "download-huge") {
        const ListedBook book = SiteBook(HugeIndexBookId);
        const WindowDriver::TimedDownload run = driver.Download(book, false, false);
        ok = run.asked && run.files == book.chapters;
    }
    std::printf("%ld %ld %d\n", base, PeakResidentKb(), ok ? 1 : 0);
    return 0;
}

void MemoryFigure(const Options& options) {
    std::printf(
        "\n[6] Peak resident memory of the program (VmHWM, each case a process of its "
        "own)\n");
    const struct {
        const char* name;
        const char* what;
    } cases[] = {
        {"download", "download of 2,000 chapters"},
        {"catalogue-huge", "catalogue job by id, 10,000-chapter index"},
        {"download-huge", "download job, 10,000-chapter index"},
    };
    for (const auto& c : cases) {
        const std::string out = options.workdir + "/memory-" + c.name + ".txt";
        const int status =
            RunProcess({SelfPath(), "--memory", c.name, "--workdir", options.workdir}, out);
        long base = 0, peak = 0;
        int ok = 0;
        std::ifstream(out) >> base >> peak >> ok;
        const double mb = static_cast<double>(peak) / 1024;
        const bool met = status == 0 && ok == 1 && mb < 80;
        std::printf("  %-44s peak %6.1f MB (window alone %5.1f MB)  (goal < 80 MB)  %s%s\n", c.what,
                    mb, static_cast<double>(base) / 1024, Verdict(met),
                    ok == 1 ? "" : "  [the case did not complete]");
        Report(std::string("6 peak memory, ") + c.what, "< 80 MB",
               Format("%.1f MB (window alone %.1f MB)", mb, static_cast<double>(base) / 1024), met);
    }
}

// ---------------------------------------------------------------- main

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--workdir" && hasValue) {
            options.workdir = argv[++i];
        } else if (arg == "--repeat" && hasValue) {
            options.repeat = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--stops" && hasValue) {
            options.stops = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--only" && hasValue) {
            std::stringstream list(argv[++i]);
            std::string item;
            while (std::getline(list, item, ',')) {
                options.only.insert(std::atoi(item.c_str()));
            }
        }
    }
    if (options.workdir.empty()) {
        options.workdir = "/tmp/bench_pipeline_" + std::to_string(::getpid());
    }
    return options;
}

std::string ArgAfter(int argc, char** argv, const std::string& name) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (name == argv[i]) {
            return argv[i + 1];
        }
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--serve") {
        return ServeBenchSite();
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const Options options = ParseOptions(argc, argv);
    CreateFolder(options.workdir);
    // Book folders go in a folder of the benchmark's, never beside the program.
    const Text directory = Utf8ToGbk(options.workdir) + "\\books";
    CreateFolder(directory);

    const std::string memoryCase = ArgAfter(argc, argv, "--memory");
    if (!memoryCase.empty()) {
        QApplication app(argc, argv);
        return MemoryCase(memoryCase, directory);
    }

    const SiteProcess site(SelfPath());
    if (site.Port() == 0) {
        std::fprintf(stderr, "bench_pipeline: the site did not start\n");
        return 1;
    }
    // Every fetch, ours and the children's, goes through the site as the proxy.
    sample_site::UseAsHttpProxy(site.ProxyUrl());

    QApplication app(argc, argv);
    std::printf("bench_pipeline: site on %s, load average at start %s\n", site.ProxyUrl().c_str(),
                LoadAverage().c_str());
    {
        WindowDriver driver(directory);
        if (options.Wants(1) || options.Wants(2)) {
            DownloadFigures(options, site.ProxyUrl(), driver, directory);
        }
        if (options.Wants(3)) {
            WalkFigure(options, driver);
        }
        if (options.Wants(4)) {
            StopFigure(options, driver);
        }
        if (options.Wants(5)) {
            StallFigure(options, driver);
        }
    }
    if (options.Wants(6)) {
        MemoryFigure(options);
    }

    std::printf("\nSummary (load average at end %s)\n", LoadAverage().c_str());
    std::printf("  %-48s %-12s %-40s %s\n", "figure", "goal", "measured", "");
    bool all = true;
    for (const Row& row : Summary) {
        std::printf("  %-48s %-12s %-40s %s\n", row.figure.c_str(), row.goal.c_str(),
                    row.measured.c_str(), Verdict(row.met));
        all = all && row.met;
    }
    DeleteFolderTree(directory);
    return all ? 0 : 3;
}
