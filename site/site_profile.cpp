// The site's constants. The Chinese markers are GBK bytes, made once from
// readable UTF-8 source text.
#include "site/site_profile.h"

#include "text/codec.h"
#include "text/text_between.h"

namespace {

Text Gbk(std::string_view utf8) {
    return Utf8ToGbk(utf8);
}

}  // namespace

const Text& BookSiteBase() {
    static const Text base = JoinTexts({"http://", BookHost});
    return base;
}

const Text& SearchEndpoint() {
    static const Text endpoint = JoinTexts({"http://", SearchHost, "/searchresultnet.aspx?query="});
    return endpoint;
}

Text SearchUrl(std::string_view bookName) {
    return JoinTexts({SearchEndpoint(), UrlEncode(bookName), "&iftitle=1"});
}

Text BookIndexUrl(std::string_view bookId) {
    return JoinTexts({BookSiteBase(), "/book", bookId, "_novel.html"});
}

Text CategoryPageUrl(std::string_view slug, int page) {
    return JoinTexts({BookSiteBase(), "/", slug, "novel_9_", NumberToText(page), ".html"});
}

Text ChapterUrl(std::string_view bookId, std::string_view chapterId) {
    return JoinTexts({BookSiteBase(), "/book", bookId, "_", chapterId, ".html"});
}

const SiteMarkers& Markers() {
    static const SiteMarkers markers{
        .hitCount = {Gbk("检索到<span>"), Gbk("</span>条结果")},
        .resultEntry = {"javascript:flink('", Gbk("最近更新")},
        .resultBookId = {JoinTexts({BookSiteBase(), "/book"}), ".html"},
        .resultTitle = {"title=\"", "\""},
        .resultAuthor = {"class=\"blue\">", "<"},
        .indexTitle = {"<title>", Gbk("章节目录")},
        .indexAuthor = {"var myauthor=\"", "\""},
        .listingEntry = {"<div class=\"nrrk\">", "</span>"},
        .listingBookId = {"<a href=\"/book", ".html"},
        .listingAuthorId = {"<a href=\"/user", ".html"},
        .chapterTitle = {"<h2 id=\"htmltimu\">", "</h2> "},
        .chapterContent = {"<div id=\"htmlContent\" class=\"contentbox\">", ContentEndMarker()},
    };
    return markers;
}

namespace {

// A value cut from a page, or typed, goes into a marker of the pattern engine
// as itself: the characters that the engine's markers leave active (. ^ $ |
// and the backslash) get a backslash of their own, so that no book id can
// change the pattern that finds the chapter ids. The rest is made literal by
// the engine's own escaping.
Text LiteralInPattern(std::string_view value) {
    Text out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const auto c = static_cast<unsigned char>(value[i]);
        if (c >= 0x80 && i + 1 < value.size()) {
            out.append(value.substr(i, 2));  // a trail byte is never a pattern character
            ++i;
            continue;
        }
        if (std::string_view(".^$|\\").find(static_cast<char>(c)) != std::string_view::npos) {
            out.push_back('\\');
        }
        out.push_back(static_cast<char>(c));
    }
    return out;
}

}  // namespace

MarkerPair ChapterIdMarkers(std::string_view bookId) {
    return {JoinTexts({"/book", LiteralInPattern(bookId), "_"}), ".html"};
}

MarkerPair ListingTitleMarkers(std::string_view bookId) {
    return {JoinTexts({bookId, ".html\" title=\""}), "\""};
}

MarkerPair ListingAuthorMarkers(std::string_view authorId) {
    return {JoinTexts({authorId, ".html\" title=\""}), "\""};
}

const Text& ContentEndMarker() {
    static const Text marker =
        JoinTexts({Gbk("<p>本书由幻侠小说网("), BookHost, Gbk(")首发</p></div>")});
    return marker;
}

const Text& NoDataSign() {
    static const Text sign = Gbk("没有数据");
    return sign;
}

Text BookNameOf(std::string_view title) {
    static const Text open = Gbk("《");
    static const Text close = Gbk("》");
    return JoinTexts({open, title, close});
}

Text CleanChapterText(std::string_view content) {
    return ReplacePairs(content, {{"<p>", "    "}, {"</p>", "\r\n"}});
}

void LookupCategorySlug(std::string_view caption, Text& slug) {
    for (const Category& category : CategoryTable) {
        if (TextEquals(caption, Gbk(category.caption))) {
            slug = Text(category.slug);
            return;
        }
    }
}
