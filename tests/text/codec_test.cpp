// GBK <-> UTF-8 at the edges of the program.
#include <gtest/gtest.h>

#include "text/codec.h"

namespace {

TEST(Codec, RoundTripsChineseAndAscii) {
    const std::string utf8 = "鬼吹灯 Chapter 1：《》　";
    const Text gbk = Utf8ToGbk(utf8);
    EXPECT_EQ(gbk.substr(0, 6), "\xB9\xED\xB4\xB5\xB5\xC6");
    EXPECT_EQ(GbkToUtf8(gbk), utf8);
    EXPECT_EQ(Utf8ToGbk("《》"), "\xA1\xB6\xA1\xB7");
}

TEST(Codec, BrokenInputNeverHidesASeparator) {
    // A lead byte followed by '/' is no character: the lead becomes U+FFFD and
    // the '/' stays visible, so no name can smuggle a separator past a check
    // made on the other side of the conversion.
    EXPECT_EQ(GbkToUtf8("\x81/x"), "\xEF\xBF\xBD/x");
    EXPECT_EQ(GbkToUtf8("a\xB9"), "a\xEF\xBF\xBD");  // lone lead byte at the end
    EXPECT_EQ(GbkToUtf8("\xFF\xFF"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_FALSE(IsGbkPair(0x81, '/'));
    EXPECT_TRUE(IsGbkPair(0xB9, 0xED));
    // What GBK cannot write becomes '?', one per character; broken UTF-8 too.
    EXPECT_EQ(Utf8ToGbk("a😀b"), "a?b");
    EXPECT_EQ(Utf8ToGbk("a\xE9"
                        "b"),
              "a?b");
    EXPECT_EQ(Utf8ToGbk(std::string("a\0b", 3)), "ab");
}

}  // namespace
