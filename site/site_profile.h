// Everything the program knows about the novel site: its two hosts, the four
// URL templates, the markers that cut fields out of its four kinds of page,
// the clean-up of chapter text and the category table. All of it is constant.
#pragma once

#include <array>
#include <string_view>

#include "site/site_categories.h"
#include "site/site_hosts.h"
#include "text/text.h"

// "http://" + BookHost, no slash at the end.
const Text& BookSiteBase();
// "http://" + SearchHost + "/searchresultnet.aspx?query=".
const Text& SearchEndpoint();

Text SearchUrl(std::string_view bookName);
Text BookIndexUrl(std::string_view bookId);
Text CategoryPageUrl(std::string_view slug, int page);
Text ChapterUrl(std::string_view bookId, std::string_view chapterId);

// A left and a right marker. A marker may write a double quote as "#引号".
struct MarkerPair {
    Text left;
    Text right;
};

// The fixed markers of the four kinds of page, as GBK texts.
struct SiteMarkers {
    MarkerPair hitCount;         // search result page
    MarkerPair resultEntry;      // search result page, every entry
    MarkerPair resultBookId;     // result entry
    MarkerPair resultTitle;      // result entry
    MarkerPair resultAuthor;     // result entry
    MarkerPair indexTitle;       // book index page
    MarkerPair indexAuthor;      // book index page
    MarkerPair listingEntry;     // listing page, every entry
    MarkerPair listingBookId;    // listing entry
    MarkerPair listingAuthorId;  // listing entry
    MarkerPair chapterTitle;     // chapter page ("</h2>" and one space)
    MarkerPair chapterContent;   // chapter page, ends at ContentEndMarker
};
const SiteMarkers& Markers();

// The markers built from values cut out of a page.
MarkerPair ChapterIdMarkers(std::string_view bookId);        // "/book" + id + "_" ... ".html"
MarkerPair ListingTitleMarkers(std::string_view bookId);     // id + `.html" title="` ... `"`
MarkerPair ListingAuthorMarkers(std::string_view authorId);  // the same after the author id

// "<p>本书由幻侠小说网(" + BookHost + ")首发</p></div>"
const Text& ContentEndMarker();
// A book index page that holds this anywhere has no data.
const Text& NoDataSign();

// "《" + title + "》": how a book's name is shown and how its folder is named.
Text BookNameOf(std::string_view title);

// "<p>" becomes four spaces and "</p>" CR LF, in any case; nothing else changes.
Text CleanChapterText(std::string_view content);

// Looks the GBK caption up by exact equality; a caption that is not in the
// table leaves slug as it was.
void LookupCategorySlug(std::string_view caption, Text& slug);

// How many books one listing page counts for in a category walk's total.
inline constexpr int BooksPerListingPage = 30;
