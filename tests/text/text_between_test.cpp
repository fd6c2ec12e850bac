// Cutting between markers: the plain first-occurrence search and the
// pattern-engine walk over every occurrence.
#include <gtest/gtest.h>

#include "text/codec.h"
#include "text/regex_matcher.h"
#include "text/text_between.h"

namespace {

Text G(std::string_view utf8) {
    return Utf8ToGbk(utf8);
}

TextList All(std::string_view text, std::string_view left, std::string_view right) {
    TextList list{"stale"};
    AllTextsBetween(text, left, right, list);
    return list;
}

TEST(TextBetween, FirstLeftThenFirstRight) {
    EXPECT_EQ(TextBetween("<a>x</a><a>y</a>", "<a>", "</a>"), "x");
    EXPECT_EQ(TextBetween("abc", "<", ">"), "");   // no left
    EXPECT_EQ(TextBetween("<abc", "<", ">"), "");  // no right after left
    EXPECT_EQ(TextBetween("<>", "<", ">"), "");    // right follows directly
    EXPECT_EQ(TextBetween("> <x", "<", ">"), "");  // right only before left
    EXPECT_EQ(TextBetween("<TITLE>t</TITLE>", "<title>", "</title>"), "t");
    EXPECT_EQ(TextBetween("<TITLE>t</TITLE>", "<title>", "</title>", 1, true), "");
    EXPECT_EQ(TextBetween(R"(a title="T" b)", "title=#引号", "#引号"), "T");
    // No character of a marker has a pattern meaning here.
    EXPECT_EQ(TextBetween("a.b(c)", ".", "("), "b");
    EXPECT_EQ(TextBetween("xaybaz", "a", "b", 3), "");  // start after the first left
    EXPECT_EQ(TextBetween("xaybazb", "a", "b", 3), "z");
}

TEST(AllTextsBetween, EveryPairInPageOrder) {
    EXPECT_EQ(All("[1](2)<a>x</a><a>y</a>\n<A>z</A>", "<a>", "</a>"), (TextList{"x", "y", "z"}));
    EXPECT_EQ(All("nothing here", "<a>", "</a>").Count(), 0);  // the stale item is gone
    EXPECT_EQ(All("", "<a>", "</a>").Count(), 0);
    // A second left before the right is part of the item.
    EXPECT_EQ(All("<a>1<a>2</a>", "<a>", "</a>"), (TextList{"1<a>2"}));
    // Items may run over lines.
    EXPECT_EQ(All("<a>1\r\n2\n</a>", "<a>", "</a>"), (TextList{"1\r\n2\n"}));
    // The nine escaped characters match literally.
    EXPECT_EQ(All("f(a)[b]{c}?*+ f(d)[b]{c}?*+", "f(", ")[b]{c}?*+"), (TextList{"a", "d"}));
    EXPECT_EQ(All(R"(<a href="1">x<a href="2">)", "href=#引号", "#引号"), (TextList{"1", "2"}));
    // A full stop keeps its meaning: ".html" matches "_html" too.
    EXPECT_EQ(All("/book1_7_html /book1_8.html", "/book1_", ".html"), (TextList{"7", "8"}));
    // ^ and $ work per line; | separates alternatives.
    EXPECT_EQ(All("x=1\nx=2\n", "^x=", "$"), (TextList{"1", "2"}));
    // The bar splits the whole pattern: "<b>" alone, or "<i>" + group + "</".
    EXPECT_EQ(All("<b>1</b><i>2</i>", "<b>|<i>", "</"), (TextList{"", "2"}));
    // A pattern the engine rejects finds nothing.
    EXPECT_EQ(All("a\\b", "a\\", "b").Count(), 0);
}

TEST(AllTextsBetween, MatchesNeverStartOrEndInsideACharacter) {
    // 0x81 0x61 is one character whose trail byte is 'a': a marker "a" must not
    // find it, and case folding must not touch it.
    const Text page =
        "\x81"
        "a"
        "<x>1</x>"
        "\x81"
        "A<x>2</x>";
    EXPECT_EQ(All(page, "a<x>", "</x>").Count(), 0);
    EXPECT_EQ(All(page, "<x>", "</x>"), (TextList{"1", "2"}));
    // A full stop is one whole character, and the item keeps its bytes.
    EXPECT_EQ(All(G("【鬼】【吹】"), G("【"), G("】")), (TextList{G("鬼"), G("吹")}));
    EXPECT_EQ(All(G("x鬼y"), "x", "y"), (TextList{G("鬼")}));
    EXPECT_EQ(All(G("x鬼y"), "x.", "y").Count(), 1);
    EXPECT_EQ(All(G("x鬼y"), "x..", "y").Count(), 0);
    // Only ASCII letters fold: full-width Ａ and ａ differ.
    EXPECT_EQ(All(G("ａ1b"), G("Ａ"), "b").Count(), 0);
    // A lone lead byte at the end is its own character.
    EXPECT_EQ(All("<x>1</x>\xB9", "<x>", "</x>"), (TextList{"1"}));
}

TEST(AllTextsBetween, AStopRequestCutsTheWalkShort) {
    Text page;
    for (int i = 0; i < 200000; ++i) {
        page += "<a>" + std::to_string(i) + "</a>";
    }
    std::stop_source source;
    TextList list;
    AllTextsBetween(page, "<a>", "</a>", list, source.get_token());
    EXPECT_EQ(list.Count(), 200000);
    source.request_stop();
    AllTextsBetween(page, "<a>", "</a>", list, source.get_token());
    EXPECT_EQ(list.Count(), 0);
}

TEST(RegexMatcher, MatchAndGroupTexts) {
    RegexMatcher m;
    EXPECT_EQ(m.MatchCount(), 0);
    m.Search("(a)(x)?b", "ab AB");
    ASSERT_EQ(m.MatchCount(), 2);
    EXPECT_EQ(m.MatchText(2), "AB");
    EXPECT_EQ(m.SubMatchText(1, 1), "a");
    EXPECT_EQ(m.SubMatchText(1, 2), "");  // a group that took no part
    EXPECT_EQ(m.SubMatchText(3, 1), "");
    EXPECT_EQ(m.SubMatchCount(), 2);
    m.Search("x*", "ab");  // empty matches still end
    EXPECT_EQ(m.MatchCount(), 3);
}

TEST(ReplacePairs, ChainIgnoresCase) {
    EXPECT_EQ(ReplacePairs("<P>a</P><p>b</p>", {{"<p>", "    "}, {"</p>", "\r\n"}}),
              "    a\r\n    b\r\n");
    EXPECT_EQ(ReplacePairs("ab", {{"a", "b"}, {"b", "c"}}), "cc");
    EXPECT_EQ(ReplacePairs("ab", {{"", "x"}}), "ab");
    EXPECT_EQ(EscapeForPattern(R"(?*+[](){}.^$|\#引号)"), R"(\?\*\+\[\]\(\)\{\}.^$|\")");
}

}  // namespace
