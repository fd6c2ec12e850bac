// URLs of the site and the fields cut out of small hand-made GBK pages of its
// four kinds.
#include <gtest/gtest.h>

#include "site/page_parsers.h"
#include "site/site_profile.h"
#include "text/codec.h"

namespace {

Text G(std::string_view utf8) {
    return Utf8ToGbk(utf8);
}

TEST(SiteUrls, Templates) {
    const Text base = "http://www.hxnovel.test";
    EXPECT_EQ(BookSiteBase(), base);
    EXPECT_EQ(SearchUrl(G("鬼吹灯")),
              "http://search.hxnovel.test/searchresultnet.aspx?query=%B9%ED%B4%B5%B5%C6&iftitle=1");
    EXPECT_EQ(BookIndexUrl("16112"), base + "/book16112_novel.html");
    EXPECT_EQ(CategoryPageUrl("dushi_", 3), base + "/dushi_novel_9_3.html");
    EXPECT_EQ(CategoryPageUrl("", 1), base + "/novel_9_1.html");
    EXPECT_EQ(ChapterUrl("16112", "987"), base + "/book16112_987.html");
    EXPECT_EQ(ContentEndMarker(), G("<p>本书由幻侠小说网(www.hxnovel.test)首发</p></div>"));
    EXPECT_EQ(BookNameOf(""), G("《》"));
    EXPECT_EQ(BookNameOf(G("鬼吹灯")), "\xA1\xB6" + G("鬼吹灯") + "\xA1\xB7");
}

TEST(SiteUrls, CategorySlugKeepsThePreviousOneForUnknownCaptions) {
    Text slug;
    LookupCategorySlug(G("网游小说"), slug);
    EXPECT_EQ(slug, "wangyou_");
    LookupCategorySlug("", slug);
    EXPECT_EQ(slug, "wangyou_");
    LookupCategorySlug(G("网游"), slug);  // equality, not a prefix
    EXPECT_EQ(slug, "wangyou_");
    LookupCategorySlug(G("最新更新"), slug);
    EXPECT_EQ(slug, "");
    EXPECT_EQ(CategoryTable.size(), 10u);
}

TEST(SearchResultPageTest, HitCountAndEntries) {
    const Text page = G(R"html(<div>检索到<span>2</span>条结果</div>
<li><a href="javascript:flink('1')"><a href="http://www.hxnovel.test/book101.html" title="鬼吹灯">鬼吹灯</a>
 <a class="blue">天下霸唱</a> 最近更新 第一章</li>
<li><a href="javascript:flink('2')"><a href="http://www.hxnovel.test/book102.html">无题</a>
 最近更新</li>
<div>最新更新</div>)html");
    const SearchResultPage result = ParseSearchResultPage(page);
    EXPECT_EQ(TextToInt(result.hitCountText), 2);
    ASSERT_EQ(result.entries.Count(), 2);
    const FoundBook first = ParseResultEntry(result.entries.Item(1));
    EXPECT_EQ(first.bookId, "101");
    EXPECT_EQ(first.title, G("鬼吹灯"));
    EXPECT_EQ(first.author, G("天下霸唱"));
    // No title attribute and no author: the fields are empty, the name is 《》.
    const FoundBook second = ParseResultEntry(result.entries.Item(2));
    EXPECT_EQ(second.bookId, "102");
    EXPECT_EQ(BookNameOf(second.title), G("《》"));
    EXPECT_EQ(second.author, "");
    // "最新更新" is not the entries' end marker "最近更新".
    EXPECT_EQ(ParseSearchResultPage(G("javascript:flink('3') 最新更新")).entries.Count(), 0);
    EXPECT_EQ(ParseSearchResultPage("").hitCountText, "");
}

TEST(BookIndexPageTest, TitleAuthorAndChapterIds) {
    const Text page = G(R"html(<html><head><title>鬼吹灯章节目录</title>
<script>var myauthor="天下霸唱";</script></head><body>
<a href="/book101_1.html">一</a><a href="/BOOK101_2.HTML">二</a>
<a href="/book101_3_html">三</a><a href="/book1011_9.html">别的书</a></body></html>)html");
    const BookIndexPage index = ParseBookIndexPage(page);
    EXPECT_EQ(index.title, G("鬼吹灯"));
    EXPECT_EQ(index.author, G("天下霸唱"));
    EXPECT_TRUE(index.titleFound);
    EXPECT_FALSE(index.noData);
    TextList ids{"stale"};
    ChapterIdsOf(page, "101", ids);
    // Case does not matter, and the full stop of ".html" matches any character.
    EXPECT_EQ(ids, (TextList{"1", "2", "3"}));

    EXPECT_TRUE(ParseBookIndexPage(G("<title>没有数据章节目录</title>")).noData);
    EXPECT_FALSE(ParseBookIndexPage(G("<title>x</title>")).titleFound);
    EXPECT_TRUE(ParseBookIndexPage(G("<title>章节目录")).titleFound);  // empty title, markers there
    EXPECT_FALSE(ParseBookIndexPage("").titleFound);
}

TEST(BookIndexPageTest, ABookIdNeverActsAsAPattern) {
    // Ids come from pages: whatever they hold, they match only themselves.
    struct Case {
        Text id;
        Text page;
        TextList expected;
    };
    const Case cases[] = {
        {"1.2", "/book1x2_5.html /book1.2_6.html", {"6"}},
        {"a|b", "/booka_1.html /book|b_2.html /booka|b_3.html", {"3"}},
        {"^9$", "/book^9$_4.html", {"4"}},
        {"\\(", "/book\\(_8.html", {"8"}},
        {"x\\", "/bookx\\_9.html", {"9"}},
    };
    for (const Case& c : cases) {
        TextList ids;
        ChapterIdsOf(c.page, c.id, ids);
        EXPECT_EQ(ids, c.expected) << c.id;
    }
}

TEST(BookIndexPageTest, BookIdHoldingADoubleByteCharacter) {
    // The id's bytes become part of a run-time marker of the pattern engine.
    const Text id = G("书") + "7";
    const Text page = "<a href=\"/book" + id + "_1.html\">" + G("<a href=\"/book书7_2.html\">");
    TextList ids;
    ChapterIdsOf(page, id, ids);
    EXPECT_EQ(ids, (TextList{"1", "2"}));
}

TEST(ListingPageTest, EntriesWithAndWithoutAuthorLink) {
    const Text page =
        G(R"html(<div class="nrrk"><a href="/book201.html" title="盗墓笔记">盗墓笔记</a>
<a href="/user55.html" title="南派三叔">南派三叔</a><span>连载</span></div>
<div class="nrrk"><a href="/book202.html" title="无作者">无作者</a><span>完结</span></div>)html");
    TextList entries;
    ListingEntries(page, entries);
    ASSERT_EQ(entries.Count(), 2);
    const FoundBook first = ParseListingEntry(entries.Item(1));
    EXPECT_EQ(first.bookId, "201");
    EXPECT_EQ(first.title, G("盗墓笔记"));
    EXPECT_EQ(first.authorId, "55");
    EXPECT_EQ(first.author, G("南派三叔"));
    // A book id that ends in the author id does not make the book's title the author.
    const FoundBook clash = ParseListingEntry(G(
        R"html(<a href="/book1255.html" title="书名">书名</a><a href="/user55.html" title="作者">)html"));
    EXPECT_EQ(clash.authorId, "55");
    EXPECT_EQ(clash.author, G("作者"));
    // Without an author link the author is the title of the first ".html" link.
    const FoundBook second = ParseListingEntry(entries.Item(2));
    EXPECT_EQ(second.authorId, "");
    EXPECT_EQ(second.author, G("无作者"));
}

TEST(ChapterPageTest, TitleContentAndCleaning) {
    const Text page = G(
        R"html(<h2 id="htmltimu">第一章 开始</h2> <div id="htmlContent" class="contentbox"><P>一&nbsp;二</P><p>三<br/></p><p>本书由幻侠小说网(www.hxnovel.test)首发</p></div>)html");
    const ChapterPage chapter = ParseChapterPage(page);
    EXPECT_EQ(chapter.title, G("第一章 开始"));
    EXPECT_TRUE(chapter.contentFound);
    EXPECT_EQ(CleanChapterText(chapter.content), G("    一&nbsp;二\r\n    三<br/>\r\n"));

    // "</h2>" followed by a line break does not end the title.
    EXPECT_EQ(ParseChapterPage(G("<h2 id=\"htmltimu\">标题</h2>\r\n正文")).title, "");
    const ChapterPage bare = ParseChapterPage(G("<h2 id=\"htmltimu\">标题</h2> 没有正文"));
    EXPECT_FALSE(bare.contentFound);
    EXPECT_EQ(bare.content, "");
}

}  // namespace
