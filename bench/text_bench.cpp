// Extraction speed over a generated book index page of 20,000 chapter links
// (about 1.9 MB of GBK) and over one twice that size; AllTextsBetween also
// over a page of 100 links (about 9 KB), the size of most books' index pages.
#include <benchmark/benchmark.h>

#include "text/codec.h"
#include "text/text_between.h"

namespace {

Text IndexPage(int chapters) {
    const Text name = Utf8ToGbk("第章节标题内容");
    Text page = "<html><head><title>" + Utf8ToGbk("鬼吹灯章节目录") + "</title></head><body>";
    for (int i = 1; i <= chapters; ++i) {
        page += "<li><a href=\"/book16112_" + std::to_string(100000 + i) + ".html\" title=\"" +
                name + std::to_string(i) + "\">" + name + std::to_string(i) + "</a></li>\r\n";
    }
    return page + "</body></html>";
}

const Text& Page(int chapters) {
    static const Text small = IndexPage(100);
    static const Text single = IndexPage(20000);
    static const Text doubled = IndexPage(40000);
    return chapters == 100 ? small : chapters == 20000 ? single : doubled;
}

void BM_AllTextsBetween(benchmark::State& state) {
    const Text& page = Page(static_cast<int>(state.range(0)));
    TextList list;
    for (auto _ : state) {
        AllTextsBetween(page, "/book16112_", ".html", list);
        benchmark::DoNotOptimize(list);
    }
    if (list.Count() != state.range(0)) {
        state.SkipWithError("wrong number of chapter ids");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.size()));
    state.counters["page_MB"] = static_cast<double>(page.size()) / 1e6;
}

void BM_FindText(benchmark::State& state) {
    const Text& page = Page(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(FindText(page, "</BODY>", 1, true));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.size()));
}

void BM_TextBetween(benchmark::State& state) {
    const Text& page = Page(static_cast<int>(state.range(0)));
    Text found;
    for (auto _ : state) {
        found = TextBetween(page, "</body>", "</html>");
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.size()));
}

BENCHMARK(BM_AllTextsBetween)->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AllTextsBetween)->Arg(20000)->Arg(40000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindText)->Arg(20000)->Arg(40000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TextBetween)->Arg(20000)->Arg(40000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
