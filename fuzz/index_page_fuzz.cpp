// The book index page: title, author, the no-data sign, and the chapter ids
// for a typed book id and for one the page itself suggests.
#include "fuzz/page_checks.h"
#include "site/page_parsers.h"
#include "text/text_between.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Text page = fuzz::PageFrom(data, size);
    const BookIndexPage index = ParseBookIndexPage(page);
    fuzz::CheckPiece(page, index.title, "title");
    fuzz::CheckPiece(page, index.author, "author");
    FUZZ_CHECK(index.title.empty() || index.titleFound, fuzz::Show(page));

    for (const Text& bookId : {Text("1001"), TextBetween(page, "/book", "_")}) {
        TextList ids{"stale"};
        ChapterIdsOf(page, bookId, ids);
        for (const Text& id : ids.Items()) {
            fuzz::CheckPiece(page, id, "chapter id");
        }
    }
    return 0;
}
