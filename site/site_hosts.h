// The two hosts of the novel site. The site profile builds every URL from
// them, and the sample site answers for them.
#pragma once

#include <string_view>

inline constexpr std::string_view BookHost = "www.hxnovel.test";
inline constexpr std::string_view SearchHost = "search.hxnovel.test";
