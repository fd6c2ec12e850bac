// The search result page: the hit count and every entry, each entry's book
// id, title and author, and the chapter ids an index page would give for a
// book id taken from the page.
#include "fuzz/page_checks.h"
#include "site/page_parsers.h"
#include "site/site_profile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Text page = fuzz::PageFrom(data, size);
    const SearchResultPage result = ParseSearchResultPage(page);
    fuzz::CheckPiece(page, result.hitCountText, "hit count");
    for (const Text& entry : result.entries.Items()) {
        fuzz::CheckPiece(page, entry, "entry");
        const FoundBook book = ParseResultEntry(entry);
        fuzz::CheckPiece(entry, book.bookId, "book id");
        fuzz::CheckPiece(entry, book.title, "title");
        fuzz::CheckPiece(entry, book.author, "author");
        FUZZ_CHECK(book.authorId.empty(), fuzz::Show(entry));
        // A book id from the page goes into the chapter id markers.
        TextList ids;
        ChapterIdsOf(page, book.bookId, ids);
        for (const Text& id : ids.Items()) {
            fuzz::CheckPiece(page, id, "chapter id");
        }
    }
    return 0;
}
