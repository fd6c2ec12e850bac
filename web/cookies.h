// Cookie texts: entries such as "name=value" (an entry may lack "="),
// separated by ";". The page fetch merges the cookies it sent with those the
// response set, so that a caller who keeps the text sends them along next time.
#pragma once

#include <string_view>

#include "text/text.h"

// Removes every space from both texts (writing them back), then keeps every
// new entry and each old entry whose name no new entry has; entries ending in
// "=deleted" are dropped. The result, joined by "; ", is also stored in
// oldCookies.
Text MergeCookies(Text& oldCookies, Text& newCookies);

// The text before the first "=", trimmed; the whole entry, trimmed, without one.
Text CookieName(std::string_view entry);

// True when some entry of the list has exactly this name.
bool HasCookieName(const TextList& list, std::string_view name);
