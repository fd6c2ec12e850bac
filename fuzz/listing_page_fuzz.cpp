// The category listing page: every entry, and each entry's book id, title,
// author id and author.
#include "fuzz/page_checks.h"
#include "site/page_parsers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Text page = fuzz::PageFrom(data, size);
    TextList entries{"stale"};
    ListingEntries(page, entries);
    for (const Text& entry : entries.Items()) {
        fuzz::CheckPiece(page, entry, "entry");
        const FoundBook book = ParseListingEntry(entry);
        fuzz::CheckPiece(entry, book.bookId, "book id");
        fuzz::CheckPiece(entry, book.title, "title");
        fuzz::CheckPiece(entry, book.authorId, "author id");
        fuzz::CheckPiece(entry, book.author, "author");
    }
    return 0;
}
