// The text operations at their edges: positions, empty needles, the lead-byte
// walk, the two kinds of space, number conversions and percent-encoding.
#include <gtest/gtest.h>

#include <cmath>

#include "text/codec.h"
#include "text/text.h"

namespace {

Text G(std::string_view utf8) {
    return Utf8ToGbk(utf8);
}

TEST(FindText, PositionsAndStarts) {
    struct Case {
        Text t, needle;
        int start;
        bool ignoreCase;
        int expected;
    };
    const Text gui = G("鬼");  // 0xB9 0xED
    const Case cases[] = {
        {"abcabc", "c", 1, false, 3},
        {"abcabc", "c", 4, false, 6},
        {"abcabc", "c", 0, false, 3},   // start 0 searches the whole text
        {"abcabc", "c", -7, false, 3},  // so does a negative start
        {"abc", "c", 4, false, -1},     // start past the end
        {"abc", "", 4, false, -1},      // even for an empty needle
        {"abc", "", 1, false, 1},
        {"abc", "", 3, false, 1},  // empty needle: 1 whatever the start
        {"", "", 1, false, -1},
        {"abc", "abcd", 1, false, -1},
        {"xABc", "abc", 1, true, 2},  // capitals in the text
        {"xabc", "ABC", 1, true, 2},  // capitals in the needle
        {"xABc", "abc", 1, false, -1},
        {G("ａ"), G("Ａ"), 1, true, -1},  // full-width letters never fold
        // 0xED is the trail of 鬼; "\xED" on its own is not found inside it...
        {gui, "\xED", 1, false, -1},
        // ...but is where it stands on its own: "鬼" then a lone 0xED at the end.
        {gui + "\xED", "\xED", 1, false, 3},
        // The trail byte of a pair may be an ASCII letter: "\x81" "a" is one character.
        {"\x81"
         "ab",
         "a", 1, false, -1},
        {"\x81"
         "ab",
         "b", 1, false, 3},
        {"\x81"
         "ab",
         "A", 1, true, -1},
        // A start in the middle of a pair begins a new walk there.
        {gui + "a",
         "\xED"
         "a",
         2, false, 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindText(c.t, c.needle, c.start, c.ignoreCase), c.expected)
            << "t=" << c.t << " needle=" << c.needle << " start=" << c.start;
    }
}

TEST(FindText, LongPagesAgreeWithTheCharacterWalk) {
    // The fast search must never report a trail byte: build a text where the
    // needle byte pair occurs at many offsets of both parities.
    Text page;
    for (int i = 0; i < 300; ++i) {
        page += (i % 3 == 0) ? "\xB9\xED"
                             : (i % 3 == 1 ? "x"
                                           : "\xED"
                                             "a");
    }
    int expectedCount = 0;
    // Reference walk.
    for (std::size_t i = 0; i < page.size();) {
        if (page.compare(i, 2,
                         "\xED"
                         "a") == 0) {
            ++expectedCount;
        }
        i += (static_cast<unsigned char>(page[i]) >= 0x80 && i + 1 < page.size()) ? 2 : 1;
    }
    int count = 0;
    for (int pos = FindText(page,
                            "\xED"
                            "a");
         pos != -1; pos = FindText(page,
                                   "\xED"
                                   "a",
                                   pos + 2)) {
        ++count;
    }
    // Every search restarts the walk at pos + 2, a character start after a match.
    EXPECT_EQ(count, expectedCount);
    EXPECT_EQ(FindTextLast("ab ab ab", "ab"), 7);
    EXPECT_EQ(FindTextLast("ab", "x"), -1);
}

TEST(TextCuts, ByteCountsAtTheEdges) {
    EXPECT_EQ(TextLeft("abc", 0), "");
    EXPECT_EQ(TextLeft("abc", 9), "abc");
    EXPECT_EQ(TextRight("abc", 2), "bc");
    EXPECT_EQ(TextRight("abc", -1), "");
    EXPECT_EQ(TextMid("abcdef", 2, 3), "bcd");
    EXPECT_EQ(TextMid("abcdef", 5, 99), "ef");
    EXPECT_EQ(TextMid("abcdef", 0, 3), "");
    EXPECT_EQ(TextMid("abcdef", 7, 1), "");
    EXPECT_EQ(CharCode("\xB9", 1), -71);
    EXPECT_EQ(CharCode("a", 0), 0);
    EXPECT_EQ(CharCode("a", 2), 0);
    EXPECT_EQ(CharFromCode(0x141), "A");
    EXPECT_EQ(CharFromCode(256), "");
    EXPECT_EQ(BytesLeft(ByteBuffer{1, 2, 3}, 2), (ByteBuffer{1, 2}));
    EXPECT_EQ(BytesLeft(ByteBuffer{1, 2, 3}, -1), ByteBuffer{});
}

TEST(TextSpaces, TrimAndRemove) {
    const Text fw(FullWidthSpace);
    struct Case {
        Text in, trimmed, removed;
    };
    const Case cases[] = {
        {"  a b  ", "a b", "ab"},
        {fw + "a" + fw, "a", "a"},
        {fw + " " + fw, "", ""},
        {"\ta\r\n", "\ta\r\n", "\ta\r\n"},  // tabs and line ends are no spaces
        {"a b\xB9", "a b", "ab"},           // a lone lead byte at the end goes
        // Bytes 0xA1 0xA1 that straddle two characters are no space.
        {"\xB0\xA1\xA1"
         "x",
         "\xB0\xA1\xA1"
         "x",
         "\xB0\xA1\xA1"
         "x"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TrimSpaces(c.in), c.trimmed) << c.in;
        EXPECT_EQ(RemoveAllSpaces(c.in), c.removed) << c.in;
    }
    EXPECT_EQ(ToLowerText("AbC\x81"
                          "A"),
              "abc\x81"
              "A");  // trail bytes keep their case
}

TEST(ReplaceText, CountsCaseAndNoLooping) {
    EXPECT_EQ(ReplaceText("a<P>b<p>", "<p>", "_"), "a_b_");
    EXPECT_EQ(ReplaceText("a<P>b<p>", "<p>", "_", 1, Unlimited, true), "a<P>b_");
    EXPECT_EQ(ReplaceText("xxx", "x", "y", 1, 1), "yxx");
    EXPECT_EQ(ReplaceText("xxx", "x", "y", 2), "xyy");
    EXPECT_EQ(ReplaceText("ab", "a", "aa"), "aab");   // the replacement is not searched again
    EXPECT_EQ(ReplaceText("aaaa", "aa", "b"), "bb");  // occurrences do not overlap
    EXPECT_EQ(ReplaceText("abc", "", "x"), "abc");
    EXPECT_EQ(ReplaceText("abc", "b", "x", 1, 0), "abc");
    EXPECT_EQ(ReplaceText("abc", "b", "x", 9), "abc");
    EXPECT_EQ(ReplaceText("\x81"
                          "a",
                          "a", "x"),
              "\x81"
              "a");                                    // a trail byte is no match
    EXPECT_EQ(ReplaceText("ab\xB9", "a", "x"), "xb");  // the lone lead byte is dropped
}

TEST(SplitText, EmptyItemsAndEnds) {
    EXPECT_EQ(SplitText("a;b", ";"), (TextList{"a", "b"}));
    EXPECT_EQ(SplitText("a;b;", ";"), (TextList{"a", "b"}));
    EXPECT_EQ(SplitText(";a;;b", ";"), (TextList{"", "a", "", "b"}));
    EXPECT_EQ(SplitText("ab", ";"), (TextList{"ab"}));
    EXPECT_EQ(SplitText("", ";").Count(), 0);
    EXPECT_EQ(SplitText("ab", ""), (TextList{"ab"}));
    EXPECT_EQ(SplitText("a\r\nb", "\r\n"), (TextList{"a", "b"}));
    // A separator byte inside a double-byte character does not split: 0x81
    // 0x5C is one character.
    EXPECT_EQ(SplitText("\x81\\a\\b", "\\"), (TextList{"\x81\\a", "b"}));
    const TextList list{"x", "y"};
    EXPECT_EQ(list.Item(0), "");
    EXPECT_EQ(list.Item(2), "y");
    EXPECT_EQ(list.Item(3), "");
}

TEST(Numbers, TextToIntAndBack) {
    struct Case {
        Text in;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"123abc", 123},
        {"  -42", -42},
        {"+7", 7},
        {"\t\n 9", 9},
        {"abc", 0},
        {"", 0},
        {G("１２３"), 123},  // full-width digits
        {G("　－５"), -5},   // full-width space and minus
        {"4294967297", 1},   // wraps in 32 bits
        {"2147483648", INT32_MIN},
        {"-2147483648", INT32_MIN},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TextToInt(c.in), c.expected) << c.in;
    }
    EXPECT_EQ(NumberToText(-12), "-12");
    EXPECT_EQ(NumberToText(3.0), "3");
    EXPECT_EQ(NumberToText(100.0), "100");
    EXPECT_EQ(NumberToText(100.0 / 3.0), "33.33333333333");
    EXPECT_EQ(NumberToText(0.5), "0.5");
    EXPECT_EQ(NumberToText(-2.25), "-2.25");
    EXPECT_EQ(NumberToText(1234567890123.0), "1234567890123");
    EXPECT_EQ(IntToHexText(10), "A");
    EXPECT_EQ(IntToHexText(255), "FF");
    EXPECT_EQ(IntToHexText(0), "0");
    EXPECT_EQ(IntToHexText(-1), "FFFFFFFF");
    EXPECT_EQ(BlankText(3), "   ");
    EXPECT_EQ(BlankText(0), "");
    EXPECT_EQ(BitOr({1, 4, 0x10}), 0x15);
}

TEST(UrlEncode, EveryOtherByteEscaped) {
    EXPECT_EQ(UrlEncode("aZ09"), "aZ09");
    EXPECT_EQ(UrlEncode("a b"), "a%20b");
    EXPECT_EQ(UrlEncode("\n"), "%0A");
    EXPECT_EQ(UrlEncode("-_.~+"), "%2D%5F%2E%7E%2B");
    EXPECT_EQ(UrlEncode(""), "");
    EXPECT_EQ(UrlEncode(G("鬼吹灯")), "%B9%ED%B4%B5%B5%C6");
}

TEST(Bytes, ConversionsStopAtZero) {
    EXPECT_EQ(BytesToText(ByteBuffer{'a', 0, 'b'}), "a");
    EXPECT_EQ(BytesToText(ByteBuffer{'a', 'b'}), "ab");
    EXPECT_EQ(TextToBytes("ab"), (ByteBuffer{'a', 'b'}));
    EXPECT_EQ(BlankBytes(2), (ByteBuffer{0, 0}));
    EXPECT_EQ(BlankBytes(0), ByteBuffer{});
    EXPECT_EQ(JoinBytes(ByteBuffer{1}, ByteBuffer{}, ByteBuffer{2, 3}), (ByteBuffer{1, 2, 3}));
    EXPECT_EQ(JoinTexts({"a", "", "bc"}), "abc");
    EXPECT_TRUE(TextEquals("", Text()));
    EXPECT_FALSE(TextEquals("a", "A"));
}

}  // namespace
