// The page parsers: every marker pair of the site profile applied to its page.
#include "site/page_parsers.h"

#include "site/site_profile.h"
#include "text/text_between.h"
#include "web/job_stop.h"

namespace {

Text First(std::string_view text, const MarkerPair& markers) {
    return TextBetween(text, markers.left, markers.right);
}

// Pages come whole into a job; a stop of the job cuts a long page short.
void Every(std::string_view text, const MarkerPair& markers, TextList& list) {
    AllTextsBetween(text, markers.left, markers.right, list, CurrentJobStop());
}

// Whether the left marker occurs and a right marker follows it.
bool Found(std::string_view text, const MarkerPair& markers) {
    const int left = FindText(text, markers.left, 1, true);
    return left != -1 && FindText(text, markers.right, left + TextLength(markers.left), true) != -1;
}

}  // namespace

SearchResultPage ParseSearchResultPage(std::string_view page) {
    SearchResultPage result;
    result.hitCountText = First(page, Markers().hitCount);
    Every(page, Markers().resultEntry, result.entries);
    return result;
}

FoundBook ParseResultEntry(std::string_view entry) {
    const SiteMarkers& m = Markers();
    return {.bookId = First(entry, m.resultBookId),
            .title = First(entry, m.resultTitle),
            .author = First(entry, m.resultAuthor),
            .authorId = {}};
}

BookIndexPage ParseBookIndexPage(std::string_view page) {
    const SiteMarkers& m = Markers();
    return {.title = First(page, m.indexTitle),
            .author = First(page, m.indexAuthor),
            .titleFound = Found(page, m.indexTitle),
            .noData = FindText(page, NoDataSign()) != -1};
}

void ChapterIdsOf(std::string_view indexPage, std::string_view bookId, TextList& ids) {
    Every(indexPage, ChapterIdMarkers(bookId), ids);
}

void ListingEntries(std::string_view page, TextList& entries) {
    Every(page, Markers().listingEntry, entries);
}

FoundBook ParseListingEntry(std::string_view entry) {
    FoundBook book;
    book.bookId = First(entry, Markers().listingBookId);
    book.title = First(entry, ListingTitleMarkers(book.bookId));
    book.authorId = First(entry, Markers().listingAuthorId);
    // The author's title attribute follows the author link. Searched in the
    // whole entry, the marker authorId + `.html" title="` would also match the
    // book's own link whenever the book id ends in the author id, and give
    // the book's title as the author. Without an author link the whole entry
    // is searched, so the author is the title of its first ".html" link.
    const int authorLink = FindText(entry, Markers().listingAuthorId.left, 1, true);
    const std::string_view authorPart =
        authorLink == -1 ? entry : entry.substr(static_cast<std::size_t>(authorLink - 1));
    book.author = First(authorPart, ListingAuthorMarkers(book.authorId));
    return book;
}

ChapterPage ParseChapterPage(std::string_view page) {
    const SiteMarkers& m = Markers();
    return {.title = First(page, m.chapterTitle),
            .content = First(page, m.chapterContent),
            .contentFound = Found(page, m.chapterContent)};
}
