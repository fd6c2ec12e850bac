// The site's ten categories: the captions of the category drop-down, in its
// order, and the slug each one's listing pages carry in their URLs. Shared by
// the site profile and the sample site.
#pragma once

#include <array>
#include <string_view>

struct Category {
    std::string_view caption;  // UTF-8, as the drop-down shows it
    std::string_view slug;
};

inline constexpr std::array<Category, 10> CategoryTable{{
    {"最新更新", ""},
    {"玄幻奇幻", "xuanhuan_"},
    {"都市情感", "dushi_"},
    {"悬疑小说", "xuanyi_"},
    {"科幻小说", "kehuan_"},
    {"网游小说", "wangyou_"},
    {"武侠仙侠", "xianxia_"},
    {"惊悚小说", "jingsong_"},
    {"历史小说", "lishi_"},
    {"军事小说", "junshi_"},
}};
