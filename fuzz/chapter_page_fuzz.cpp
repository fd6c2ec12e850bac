// The chapter page: title and content, and the content cleaned into file
// text, which holds no paragraph tag any more.
#include "fuzz/page_checks.h"
#include "site/page_parsers.h"
#include "site/site_profile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Text page = fuzz::PageFrom(data, size);
    const ChapterPage chapter = ParseChapterPage(page);
    fuzz::CheckPiece(page, chapter.title, "title");
    fuzz::CheckPiece(page, chapter.content, "content");
    FUZZ_CHECK(chapter.content.empty() || chapter.contentFound, fuzz::Show(page));

    const Text cleaned = CleanChapterText(chapter.content);
    FUZZ_CHECK(FindText(cleaned, "<p>", 1, true) == -1 && FindText(cleaned, "</p>", 1, true) == -1,
               fuzz::Show(chapter.content));
    return 0;
}
