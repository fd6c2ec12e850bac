#include "web/cookies.h"

#include <gtest/gtest.h>

#include <array>

namespace {

struct MergeCase {
    std::string_view oldIn;
    std::string_view newIn;
    std::string_view merged;  // returned and left in the old variable
    std::string_view newAfter;
};

constexpr std::array<MergeCase, 8> MergeCases = {{
    {"a=1; b=2", "b=3", "b=3; a=1", "b=3"},
    {"a=1", "a=deleted", "", "a=deleted"},
    {"a=1;a=2", "", "a=1", ""},
    {"", "", "", ""},
    {"", "a=x y", "a=xy", "a=xy"},
    {"x=1", "b=2;b=3", "b=2; b=3; x=1", "b=2;b=3"},
    {"flag; a=1", " flag ", "flag; a=1", "flag"},
    {"a=deleted; b=2", "", "b=2", ""},
}};

TEST(CookiesTest, MergeCookies) {
    for (const MergeCase& c : MergeCases) {
        SCOPED_TRACE(testing::Message() << "old '" << c.oldIn << "' new '" << c.newIn << "'");
        Text oldCookies(c.oldIn);
        Text newCookies(c.newIn);
        EXPECT_EQ(MergeCookies(oldCookies, newCookies), c.merged);
        EXPECT_EQ(oldCookies, c.merged);
        EXPECT_EQ(newCookies, c.newAfter);
    }
}

TEST(CookiesTest, CookieNameAndHasCookieName) {
    EXPECT_EQ(CookieName(" sid =abc=def"), "sid");
    EXPECT_EQ(CookieName(" flag "), "flag");
    EXPECT_EQ(CookieName(""), "");

    const TextList list{"a=1", "flag", " b = 2"};
    EXPECT_TRUE(HasCookieName(list, "flag"));
    EXPECT_TRUE(HasCookieName(list, "b"));
    EXPECT_FALSE(HasCookieName(list, "A"));
    EXPECT_FALSE(HasCookieName(TextList{}, ""));
}

}  // namespace
