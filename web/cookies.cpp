// Cookie merge: a cookie that the response set replaces the old cookie of the
// same name; of several old entries with one name the first survives.
#include "web/cookies.h"

Text MergeCookies(Text& oldCookies, Text& newCookies) {
    oldCookies = RemoveAllSpaces(oldCookies);
    newCookies = RemoveAllSpaces(newCookies);
    const TextList oldList = SplitText(oldCookies, ";");
    TextList merged = SplitText(newCookies, ";");

    for (const Text& entry : oldList.Items()) {
        // Tested against the list as it grows, so the first of several old
        // entries with one name wins.
        if (!HasCookieName(merged, CookieName(entry))) {
            merged.Append(entry);
        }
    }

    Text result;
    for (const Text& entry : merged.Items()) {
        if (TextRight(entry, 8) != "=deleted") {
            result += entry;
            result += "; ";
        }
    }
    result = TextLeft(result, TextLength(result) - 2);
    oldCookies = result;
    return result;
}

Text CookieName(std::string_view entry) {
    const int equals = FindText(entry, "=");
    if (equals == -1) {
        return TrimSpaces(entry);
    }
    return TrimSpaces(TextLeft(entry, equals - 1));
}

bool HasCookieName(const TextList& list, std::string_view name) {
    for (const Text& entry : list.Items()) {
        if (CookieName(entry) == name) {
            return true;
        }
    }
    return false;
}
