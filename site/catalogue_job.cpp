// The catalogue job. For every book found it fetches the book's index page
// once, to count the chapters, and adds a row.
#include "site/catalogue_job.h"

#include <algorithm>

#include "site/page_parsers.h"
#include "site/site_profile.h"
#include "text/codec.h"

namespace {

// The job's last texts. The fetch timer stops first, so that no tick can
// put its running count over the final text; when a walk found fewer books
// than it expected, that count would otherwise stay on screen.
void End(JobContext& job, std::string_view statusUtf8) {
    WindowOperations& window = job.Window();
    window.SetTimerPeriod(JobTimer::Fetch, 0);
    window.SetProgress(100);
    window.SetStatusText(Utf8ToGbk(statusUtf8));
}

// A search without hits, or an id the site does not know.
void FailureEnd(JobContext& job) {
    End(job, "状态：获取失败");
}

void SuccessEnd(JobContext& job) {
    End(job, "状态：获取完成");
}

// One row for the book whose id, name and author are in the state.
void AddBookRow(JobContext& job, std::string_view indexPage) {
    JobState& state = job.State();
    WindowOperations& window = job.Window();
    ChapterIdsOf(indexPage, state.BookId, state.ChapterIds);
    state.ChapterCountText = NumberToText(state.ChapterIds.Count());
    const int row = window.ListAddRow();
    window.ListSetCell(row, 0, NumberToText(row + 1));
    window.ListSetCell(row, 1, state.BookId);
    window.ListSetCell(row, 2, state.BookName);
    window.ListSetCell(row, 3, state.Author);
    window.ListSetCell(row, 4, state.ChapterCountText);
    window.ListSelectRow(row);
}

void ByName(JobContext& job, const JobInputs& inputs) {
    JobState& state = job.State();
    state.BookName = inputs.name;
    const Text page = job.Fetch(SearchUrl(state.BookName));
    const SearchResultPage result = ParseSearchResultPage(page);
    state.HitCountText = result.hitCountText;
    if (TextToInt(state.HitCountText) == 0) {
        FailureEnd(job);
        return;
    }
    const int count = result.entries.Count();
    state.TotalCount = count;
    for (int i = 1; i <= count; ++i) {
        const FoundBook book = ParseResultEntry(result.entries.Item(i));
        state.BookId = book.bookId;
        state.BookName = BookNameOf(book.title);
        state.Author = book.author;
        AddBookRow(job, job.Fetch(BookIndexUrl(state.BookId)));
        ++state.DoneCount;
    }
    SuccessEnd(job);
}

void ById(JobContext& job, const JobInputs& inputs) {
    JobState& state = job.State();
    state.TotalCount = 1;
    state.BookId = inputs.id;
    const Text indexPage = job.Fetch(BookIndexUrl(state.BookId));
    const BookIndexPage index = ParseBookIndexPage(indexPage);
    // A page that could not be fetched, or that is no book's index page, is
    // no book: it must not show as a row "《》" with no chapters.
    if (index.noData || indexPage.empty() || !index.titleFound) {
        FailureEnd(job);
        return;
    }
    state.BookName = BookNameOf(index.title);
    state.Author = index.author;
    AddBookRow(job, indexPage);
    state.DoneCount = 1;
    SuccessEnd(job);
}

void ByCategory(JobContext& job, const JobInputs& inputs) {
    JobState& state = job.State();
    state.CategoryName = inputs.category;
    state.PageCount = TextToInt(inputs.pages);
    // A huge page count would overflow the total; no walk gets that far.
    const long long total = static_cast<long long>(state.PageCount) * BooksPerListingPage;
    state.TotalCount = static_cast<std::int32_t>(std::clamp<long long>(total, 0, INT32_MAX));
    LookupCategorySlug(state.CategoryName, state.CategorySlug);
    const int pageCount = state.PageCount;
    TextList entries;
    for (int page = 1; page <= pageCount; ++page) {
        const Text listPage = job.Fetch(CategoryPageUrl(state.CategorySlug, page));
        ListingEntries(listPage, entries);
        const int count = entries.Count();
        for (int i = 1; i <= count; ++i) {
            const FoundBook book = ParseListingEntry(entries.Item(i));
            state.BookId = book.bookId;
            state.BookName = BookNameOf(book.title);
            state.AuthorId = book.authorId;
            state.Author = book.author;
            AddBookRow(job, job.Fetch(BookIndexUrl(state.BookId)));
            ++state.DoneCount;
        }
    }
    SuccessEnd(job);
}

}  // namespace

void CatalogueJob(JobContext& job) {
    const JobInputs inputs = job.Window().ReadJobInputs();
    if (inputs.byName) {
        ByName(job, inputs);
    } else if (inputs.byId) {
        ById(job, inputs);
    } else if (inputs.byCategory) {
        ByCategory(job, inputs);
    }
}
