// Cutting the fields the jobs use out of the site's four kinds of page. A
// field whose markers are missing is the empty text; each field is cut on its
// own. The found flags tell a missing marker from an empty field.
#pragma once

#include "text/text.h"

// A book as a search result entry or a listing entry shows it.
struct FoundBook {
    Text bookId;
    Text title;  // without 《》
    Text author;
    Text authorId;  // listing entries only
};

struct SearchResultPage {
    Text hitCountText;
    TextList entries;
};
SearchResultPage ParseSearchResultPage(std::string_view page);
FoundBook ParseResultEntry(std::string_view entry);

struct BookIndexPage {
    Text title;  // without 《》
    Text author;
    bool titleFound = false;  // both title markers are there
    bool noData = false;      // the page says it has no data
};
BookIndexPage ParseBookIndexPage(std::string_view page);
// The chapter ids of a book, in the order of its index page.
void ChapterIdsOf(std::string_view indexPage, std::string_view bookId, TextList& ids);

void ListingEntries(std::string_view page, TextList& entries);
FoundBook ParseListingEntry(std::string_view entry);

struct ChapterPage {
    Text title;
    Text content;               // as it stands in the page, before cleaning
    bool contentFound = false;  // both content markers are there
};
ChapterPage ParseChapterPage(std::string_view page);
