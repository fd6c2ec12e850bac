// FindText, FindTextLast, ReplaceText, SplitText, TrimSpaces, RemoveAllSpaces
// and ToLowerText against a plain walk written here from the rules: byte by
// byte, one character at a time, no candidate search and no parity trick.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz/fuzz_support.h"

namespace {

using fuzz::IsLead;

bool SameAt(std::string_view t, std::size_t i, std::string_view needle, bool ignoreCase) {
    if (t.size() - i < needle.size()) {
        return false;
    }
    for (std::size_t k = 0; k < needle.size(); ++k) {
        const char a = ignoreCase ? fuzz::FoldAscii(t[i + k]) : t[i + k];
        const char b = ignoreCase ? fuzz::FoldAscii(needle[k]) : needle[k];
        if (a != b) {
            return false;
        }
    }
    return true;
}

// The step from one character start to the next; a lead byte at the end
// steps past the end, which ends every walk.
std::size_t Step(std::string_view t, std::size_t i) {
    return IsLead(t[i]) ? 2 : 1;
}

int RefFind(std::string_view t, std::string_view needle, int start, bool ignoreCase) {
    const std::size_t s = start > 1 ? static_cast<std::size_t>(start - 1) : 0;
    if (s >= t.size()) {
        return -1;
    }
    if (needle.empty()) {
        return 1;
    }
    for (std::size_t i = s; i < t.size(); i += Step(t, i)) {
        if (SameAt(t, i, needle, ignoreCase)) {
            return static_cast<int>(i + 1);
        }
    }
    return -1;
}

int RefFindLast(std::string_view t, std::string_view needle, bool ignoreCase) {
    int last = -1;
    for (std::size_t i = 0; i < t.size(); i += Step(t, i)) {
        if (SameAt(t, i, needle, ignoreCase)) {
            last = static_cast<int>(i + 1);
        }
    }
    return last;
}

Text RefReplace(std::string_view t, std::string_view find, std::string_view replacement, int start,
                int count, bool caseSensitive) {
    const std::size_t s = start > 1 ? static_cast<std::size_t>(start - 1) : 0;
    if (t.empty() || find.empty() || s >= t.size() || count == 0) {
        return Text(t);
    }
    Text out(t.substr(0, s));
    std::size_t i = s;
    int done = 0;
    while (t.size() - i >= find.size()) {
        if (SameAt(t, i, find, !caseSensitive)) {
            out += replacement;
            i += find.size();
            if (++done == count) {
                break;
            }
        } else if (IsLead(t[i]) && i + 1 == t.size()) {
            return out;  // a lone lead byte at the end is dropped
        } else {
            out += t.substr(i, Step(t, i));
            i += Step(t, i);
        }
    }
    return out + Text(t.substr(i));
}

TextList RefSplit(std::string_view t, std::string_view separator) {
    TextList list;
    if (t.empty()) {
        return list;
    }
    if (separator.empty()) {
        list.Append(Text(t));
        return list;
    }
    std::size_t piece = 0;
    std::size_t i = 0;
    while (i < t.size()) {
        if (SameAt(t, i, separator, false)) {
            list.Append(Text(t.substr(piece, i - piece)));
            i += separator.size();
            piece = i;
        } else {
            i += Step(t, i);
        }
    }
    if (piece < t.size()) {
        list.Append(Text(t.substr(piece)));
    }
    return list;
}

bool IsSpaceChar(std::string_view c) {
    return c == " " || c == FullWidthSpace;
}

bool IsLoneLead(std::string_view c) {
    return c.size() == 1 && IsLead(c[0]);
}

// Leading spaces go; then a text that ends in a lone lead byte loses that
// byte, and one that ends in a run of spaces loses the run.
Text RefTrim(std::string_view t) {
    std::vector<std::string_view> chars = fuzz::Chars(t);
    std::size_t first = 0;
    while (first < chars.size() && IsSpaceChar(chars[first])) {
        ++first;
    }
    std::size_t end = chars.size();
    if (end > first && IsLoneLead(chars[end - 1])) {
        --end;
    } else {
        while (end > first && IsSpaceChar(chars[end - 1])) {
            --end;
        }
    }
    Text out;
    for (std::size_t k = first; k < end; ++k) {
        out += chars[k];
    }
    return out;
}

Text RefRemoveSpaces(std::string_view t) {
    Text out;
    for (const std::string_view c : fuzz::Chars(t)) {
        if (!IsSpaceChar(c) && !IsLoneLead(c)) {
            out += c;
        }
    }
    return out;
}

Text RefLower(std::string_view t) {
    Text out;
    for (const std::string_view c : fuzz::Chars(t)) {
        out += c.size() == 1 ? Text(1, fuzz::FoldAscii(c[0])) : Text(c);
    }
    return out;
}

std::string Story(std::string_view t, std::string_view needle, int start) {
    return "t=" + fuzz::Show(t) + " needle=" + fuzz::Show(needle) +
           " start=" + std::to_string(start);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const auto flags = input.ConsumeIntegral<std::uint8_t>();
    const bool narrow = (flags & 1) != 0;
    const bool ignoreCase = (flags & 2) != 0;
    const int start = input.ConsumeIntegral<std::int8_t>();
    const int count = input.ConsumeIntegralInRange<int>(Unlimited, 4);
    Text needle = input.ConsumeRandomLengthString(8);
    const Text replacement = input.ConsumeRandomLengthString(4);
    Text t = input.ConsumeRemainingBytesAsString();
    if (narrow) {
        needle = fuzz::Narrow(needle);
        t = fuzz::Narrow(t);
    }
    const std::string story = Story(t, needle, start);

    FUZZ_CHECK(FindText(t, needle, start, ignoreCase) == RefFind(t, needle, start, ignoreCase),
               story);
    if (!needle.empty()) {
        FUZZ_CHECK(FindTextLast(t, needle, ignoreCase) == RefFindLast(t, needle, ignoreCase),
                   story);
    }
    FUZZ_CHECK(ReplaceText(t, needle, replacement, start, count, !ignoreCase) ==
                   RefReplace(t, needle, replacement, start, count, !ignoreCase),
               story + " count=" + std::to_string(count));
    FUZZ_CHECK(SplitText(t, needle) == RefSplit(t, needle), story);
    FUZZ_CHECK(TrimSpaces(t) == RefTrim(t), story);
    FUZZ_CHECK(RemoveAllSpaces(t) == RefRemoveSpaces(t), story);
    FUZZ_CHECK(ToLowerText(t) == RefLower(t), story);
    return 0;
}
