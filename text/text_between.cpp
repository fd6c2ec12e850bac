// TextBetween is a plain search over GBK bytes; AllTextsBetween goes through
// the pattern engine, so only the nine characters EscapeForPattern escapes are
// literal in its markers.
#include "text/text_between.h"

#include "text/regex_matcher.h"

namespace {

Text ResolveQuotes(std::string_view marker) {
    return ReplaceText(marker, QuotePlaceholder, "\"", 1, Unlimited, true);
}

}  // namespace

Text TextBetween(std::string_view text, std::string_view left, std::string_view right, int start,
                 bool caseSensitive) {
    const Text l = ResolveQuotes(left);
    const Text r = ResolveQuotes(right);
    const int leftPos = FindText(text, l, start, !caseSensitive);
    if (leftPos == -1) {
        return {};
    }
    const int d = leftPos + TextLength(l);
    const int rightPos = FindText(text, r, d, !caseSensitive);
    if (rightPos == -1) {
        return {};
    }
    return TextMid(text, d, rightPos - d);
}

Text ReplacePairs(std::string_view text, std::initializer_list<ReplacePair> pairs) {
    Text out(text);
    for (const ReplacePair& pair : pairs) {
        if (!pair.find.empty()) {
            out = ReplaceText(out, pair.find, pair.replacement, 1, Unlimited, false);
        }
    }
    return out;
}

Text EscapeForPattern(std::string_view marker) {
    const Text first = ReplacePairs(
        marker, {{"?", "\\?"}, {"*", "\\*"}, {"+", "\\+"}, {"[", "\\["}, {"]", "\\]"}});
    return ReplacePairs(
        first, {{"(", "\\("}, {")", "\\)"}, {"{", "\\{"}, {"}", "\\}"}, {QuotePlaceholder, "\""}});
}

void AllTextsBetween(std::string_view text, std::string_view left, std::string_view right,
                     TextList& list) {
    AllTextsBetween(text, left, right, list, std::stop_token());
}

void AllTextsBetween(std::string_view text, std::string_view left, std::string_view right,
                     TextList& list, const std::stop_token& stop) {
    list.Clear();
    RegexMatcher matcher;
    const Text pattern =
        JoinTexts({EscapeForPattern(left), "([\\s|\\S]*?)", EscapeForPattern(right)});
    matcher.Search(pattern, text, stop);
    const int count = matcher.MatchCount();
    for (int i = 1; i <= count; ++i) {
        list.Append(matcher.SubMatchText(i, 1));
    }
}
