// The generated copy of the novel site: every page is made on request from
// the book id, chapter number or query alone, so the same address gives the
// same GBK bytes on every run. The server (sample_site.h) decides which host a
// request is for and delivers what RenderPage describes.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "text/text.h"

namespace sample_site {

// Ordinary books: ids FirstBookId..LastBookId, each in one of the nine
// categories, listed on the category pages and found by the search.
inline constexpr int FirstBookId = 1001;
inline constexpr int LastBookId = 1300;
inline constexpr int BooksPerListingPage = 30;

// Books that show one case each (tools/sample-site/README.md). They are found
// by the search (every name holds 测试) but are on no listing page.
namespace special {
inline constexpr int SharedTitles = 9001;          // chapters that share a title
inline constexpr int PathCharacters = 9002;        // / \ : * ? " < > | and .. in titles
inline constexpr int InvalidGbk = 9003;            // bytes that are no GBK character
inline constexpr int Slow = 9004;                  // index and chapters answer late
inline constexpr int NeverAnswers = 9005;          // the index page never answers
inline constexpr int ChapterNeverAnswers = 9006;   // chapters from the third never answer
inline constexpr int ResetIndex = 9007;            // the index page is reset mid-body
inline constexpr int ResetChapter = 9008;          // the second chapter is reset mid-body
inline constexpr int HugeWithLength = 9009;        // index of 64 MiB + 1 byte, Content-Length
inline constexpr int HugeChunked = 9010;           // index of 64 MiB + 1 byte, chunked
inline constexpr int AtBodyLimit = 9011;           // index of exactly 64 MiB, chunked
inline constexpr int RedirectLoop = 9012;          // the index page redirects to itself
inline constexpr int TenThousandChapters = 9013;   // 10,000 chapters
inline constexpr int RepeatedLinks = 9014;         // the index links some chapters twice
inline constexpr int MissingContentMarker = 9015;  // chapter 2 lacks the content marker
inline constexpr int LongAndControlTitles = 9016;  // 300-byte titles, control characters
inline constexpr int NoChapters = 9017;            // an index page without chapters
inline constexpr int PathTrailBytes = 9018;        // characters whose second byte is \ or |
inline constexpr int TwoThousandChapters = 9019;   // 2,000 chapters of about 4 KB each
inline constexpr int NoData = 9999;                // "没有数据", like every unknown id
}  // namespace special

inline constexpr auto SlowIndexDelay = std::chrono::milliseconds(1500);
inline constexpr auto SlowChapterDelay = std::chrono::milliseconds(300);
inline constexpr std::uint64_t BodyLimitBytes = 64ull * 1024 * 1024;

// What a book looks like from outside: names as GBK bytes.
struct BookFacts {
    std::string Id;
    Text Name;
    Text Author;
    std::string AuthorId;
    std::string Slug;  // its category's slug; empty for the special books
    int Chapters = 0;  // distinct chapters on its index page
};

// The book of this id text (canonical decimal digits only), or nothing.
std::optional<BookFacts> FindBook(std::string_view id);

// The id of chapter n (1-based) of a book.
std::string ChapterId(int bookId, int n);

enum class SiteHost { Book, Search, Any };

// How the server hands a page over.
enum class Delivery {
    Whole,         // the body, after Delay
    NeverAnswer,   // nothing until the client goes or the server stops
    ResetMidBody,  // headers and half the body, then a connection reset
    Stream,        // Body followed by filler up to StreamBytes, never held whole
};

struct SitePage {
    int Status = 200;
    Text Body;
    std::string Location;  // for a redirect
    std::chrono::milliseconds Delay{0};
    Delivery How = Delivery::Whole;
    std::uint64_t StreamBytes = 0;
    bool Chunked = false;  // Stream without a Content-Length
};

// The page at target ("/path?query", as on the request line) of a host.
SitePage RenderPage(SiteHost host, std::string_view target);

}  // namespace sample_site
