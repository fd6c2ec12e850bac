// The two host names of the novel site: the book host serves book index,
// listing and chapter pages, the search host the search result page. Shared by
// the site profile and the sample site, so both always name the same hosts.
#pragma once

#include <string_view>

inline constexpr std::string_view BookHost = "www.hxnovel.test";
inline constexpr std::string_view SearchHost = "search.hxnovel.test";
