// Text, TextList and ByteBuffer operations. They know one thing of GBK: a byte
// of 0x80 or above leads a two-byte character. Every operation returns a new
// value; out-of-range positions give the empty value, never an error.
#include "text/text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "text/text_search.h"

namespace {

inline unsigned char Byte(std::string_view t, std::size_t i) {
    return static_cast<unsigned char>(t[i]);
}

inline bool IsAsciiSpaceAt(std::string_view t, std::size_t i) {
    return t[i] == ' ';
}

inline bool IsFullWidthSpaceAt(std::string_view t, std::size_t i) {
    return i + 1 < t.size() && Byte(t, i) == 0xA1 && Byte(t, i + 1) == 0xA1;
}

// Length of the character at i: 1, or 2 for a lead byte (1 when the text ends after it).
inline std::size_t CharSize(std::string_view t, std::size_t i) {
    return (IsLeadByte(Byte(t, i)) && i + 1 < t.size()) ? 2 : 1;
}

inline bool IsLoneLeadAt(std::string_view t, std::size_t i) {
    return i + 1 == t.size() && IsLeadByte(Byte(t, i));
}

// Size of the space character at i (1 or 2), or 0 when none starts there.
inline std::size_t SpaceSizeAt(std::string_view t, std::size_t i) {
    if (IsAsciiSpaceAt(t, i)) {
        return 1;
    }
    return IsFullWidthSpaceAt(t, i) ? 2 : 0;
}

}  // namespace

const Text& TextList::Item(int i) const {
    static const Text empty;
    if (i < 1 || i > Count()) {
        return empty;
    }
    return items_[static_cast<std::size_t>(i - 1)];
}

int TextLength(std::string_view t) {
    return static_cast<int>(t.size());
}

Text JoinTexts(std::initializer_list<std::string_view> parts) {
    std::size_t size = 0;
    for (auto p : parts) {
        size += p.size();
    }
    Text out;
    out.reserve(size);
    for (auto p : parts) {
        out.append(p);
    }
    return out;
}

bool TextEquals(std::string_view a, std::string_view b) {
    return a == b;
}

Text TextLeft(std::string_view t, int n) {
    if (n <= 0) {
        return {};
    }
    return Text(t.substr(0, static_cast<std::size_t>(n)));
}

Text TextRight(std::string_view t, int n) {
    if (n <= 0) {
        return {};
    }
    const std::size_t k = std::min(t.size(), static_cast<std::size_t>(n));
    return Text(t.substr(t.size() - k));
}

Text TextMid(std::string_view t, int start, int n) {
    if (start < 1 || static_cast<std::size_t>(start) > t.size() || n <= 0) {
        return {};
    }
    return Text(t.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(n)));
}

int CharCode(std::string_view t, int pos) {
    if (pos < 1 || static_cast<std::size_t>(pos) > t.size()) {
        return 0;
    }
    return static_cast<signed char>(t[static_cast<std::size_t>(pos - 1)]);
}

Text CharFromCode(int code) {
    const char c = static_cast<char>(code & 0xFF);
    return c == 0 ? Text() : Text(1, c);
}

int FindText(std::string_view t, std::string_view needle, int start, bool ignoreCase) {
    const std::size_t s = start > 1 ? static_cast<std::size_t>(start - 1) : 0;
    if (s >= t.size()) {
        return -1;
    }
    if (needle.empty()) {
        return 1;
    }
    const TextSearcher searcher(t, needle, ignoreCase);
    const std::size_t pos = searcher.Next(s, s);
    return pos == TextSearcher::npos ? -1 : static_cast<int>(pos + 1);
}

int FindTextLast(std::string_view t, std::string_view needle, bool ignoreCase) {
    if (t.empty()) {
        return -1;
    }
    if (needle.empty()) {
        return 1;
    }
    const TextSearcher searcher(t, needle, ignoreCase);
    std::size_t last = TextSearcher::npos;
    for (std::size_t pos = searcher.Next(0, 0); pos != TextSearcher::npos;
         pos = searcher.Next(pos, pos + 1)) {
        last = pos;
    }
    return last == TextSearcher::npos ? -1 : static_cast<int>(last + 1);
}

Text ToLowerText(std::string_view t) {
    Text out(t);
    for (std::size_t i = 0; i < out.size();) {
        const unsigned char c = Byte(out, i);
        if (c >= 'A' && c <= 'Z') {
            out[i] = static_cast<char>(c | 0x20);
        }
        i += CharSize(out, i);
    }
    return out;
}

Text TrimSpaces(std::string_view t) {
    std::size_t i = 0;
    for (std::size_t k; i < t.size() && (k = SpaceSizeAt(t, i)) != 0;) {
        i += k;
    }
    const std::size_t begin = i;
    std::size_t end = t.size();
    std::size_t runStart = std::string_view::npos;
    while (i < t.size()) {
        if (IsLoneLeadAt(t, i)) {
            end = i;
            runStart = std::string_view::npos;
            break;
        }
        const std::size_t k = SpaceSizeAt(t, i);
        if (k != 0) {
            if (runStart == std::string_view::npos) {
                runStart = i;
            }
            i += k;
        } else {
            runStart = std::string_view::npos;
            i += CharSize(t, i);
        }
    }
    if (runStart != std::string_view::npos) {
        end = runStart;
    }
    return Text(t.substr(begin, end - begin));
}

Text RemoveAllSpaces(std::string_view t) {
    Text out;
    out.reserve(t.size());
    for (std::size_t i = 0; i < t.size();) {
        if (IsLoneLeadAt(t, i)) {
            break;
        }
        const std::size_t k = SpaceSizeAt(t, i);
        if (k != 0) {
            i += k;
            continue;
        }
        const std::size_t n = CharSize(t, i);
        out.append(t.substr(i, n));
        i += n;
    }
    return out;
}

Text ReplaceText(std::string_view t, std::string_view find, std::string_view replacement, int start,
                 int count, bool caseSensitive) {
    const std::size_t s = start > 1 ? static_cast<std::size_t>(start - 1) : 0;
    if (t.empty() || find.empty() || s >= t.size() || count == 0) {
        return Text(t);
    }
    const TextSearcher searcher(t, find, !caseSensitive);
    Text out;
    out.reserve(t.size());
    out.append(t.substr(0, s));
    std::size_t i = s;  // a character start of the walk
    int done = 0;
    while (true) {
        const std::size_t pos = searcher.Next(i, i);
        if (pos == TextSearcher::npos) {
            break;
        }
        out.append(t.substr(i, pos - i));
        out.append(replacement);
        i = pos + find.size();
        if (count > 0 && ++done == count) {
            out.append(t.substr(i));
            return out;
        }
    }
    // The walk runs on while find could still fit; with a one-byte find it
    // reaches a lead byte that ends the text, and that lone byte is dropped.
    std::size_t end = t.size();
    if (find.size() == 1 && i < t.size() && IsLeadByte(Byte(t, t.size() - 1)) &&
        searcher.IsCharStart(i, t.size() - 1)) {
        end = t.size() - 1;
    }
    out.append(t.substr(i, end - i));
    return out;
}

TextList SplitText(std::string_view t, std::string_view separator) {
    TextList list;
    if (t.empty()) {
        return list;
    }
    if (separator.empty()) {
        list.Append(Text(t));
        return list;
    }
    const TextSearcher searcher(t, separator, false);
    std::size_t piece = 0;
    for (std::size_t pos = searcher.Next(0, 0); pos != TextSearcher::npos;
         pos = searcher.Next(piece, piece)) {
        list.Append(Text(t.substr(piece, pos - piece)));
        piece = pos + separator.size();
    }
    if (piece < t.size()) {
        list.Append(Text(t.substr(piece)));
    }
    return list;
}

std::int32_t TextToInt(std::string_view t) {
    // Full-width forms are read as their ASCII twins first.
    Text ascii;
    ascii.reserve(t.size());
    for (std::size_t i = 0; i < t.size();) {
        const std::size_t n = CharSize(t, i);
        if (n == 2) {
            const unsigned char lead = Byte(t, i);
            const unsigned char trail = Byte(t, i + 1);
            if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
                ascii.push_back(static_cast<char>(trail & 0x7F));
            } else if (lead == 0xA1 && trail == 0xA1) {
                ascii.push_back(' ');
            } else if (lead == 0xA1 && trail == 0xAB) {
                ascii.push_back('~');
            } else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF)) {
                ascii.push_back('*');
            } else {
                ascii.append(t.substr(i, 2));
            }
        } else {
            ascii.push_back(t[i]);
        }
        i += n;
    }
    std::size_t i = 0;
    while (i < ascii.size() && std::strchr(" \t\n\v\f\r", ascii[i]) != nullptr) {
        ++i;
    }
    bool negative = false;
    if (i < ascii.size() && (ascii[i] == '+' || ascii[i] == '-')) {
        negative = ascii[i] == '-';
        ++i;
    }
    std::uint32_t value = 0;
    for (; i < ascii.size() && ascii[i] >= '0' && ascii[i] <= '9'; ++i) {
        value = value * 10u + static_cast<std::uint32_t>(ascii[i] - '0');
    }
    if (negative) {
        value = 0u - value;
    }
    return static_cast<std::int32_t>(value);
}

Text NumberToText(std::int32_t n) {
    return std::to_string(n);
}

Text NumberToText(double x) {
    if (x == 0) {
        return "0";
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.13g", x);
    return buffer;
}

Text IntToHexText(std::int32_t n) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%X", static_cast<unsigned>(n));
    return buffer;
}

Text BlankText(int n) {
    return n < 1 ? Text() : Text(static_cast<std::size_t>(n), ' ');
}

Text UrlEncode(std::string_view t) {
    static constexpr char hex[] = "0123456789ABCDEF";
    Text out;
    out.reserve(t.size() * 3);
    for (const char ch : t) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 0x0F]);
        }
    }
    return out;
}

ByteBuffer TextToBytes(std::string_view t) {
    return ByteBuffer(t.begin(), t.end());
}

Text BytesToText(const ByteBuffer& b) {
    const auto end = std::find(b.begin(), b.end(), std::uint8_t{0});
    return Text(b.begin(), end);
}

int BytesLength(const ByteBuffer& b) {
    return static_cast<int>(b.size());
}

ByteBuffer BytesLeft(const ByteBuffer& b, int n) {
    if (n <= 0) {
        return {};
    }
    const std::size_t k = std::min(b.size(), static_cast<std::size_t>(n));
    return ByteBuffer(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(k));
}

ByteBuffer BlankBytes(int n) {
    return n <= 0 ? ByteBuffer() : ByteBuffer(static_cast<std::size_t>(n), 0);
}

std::int32_t BitOr(std::initializer_list<std::int32_t> values) {
    std::int32_t out = 0;
    for (auto v : values) {
        out |= v;
    }
    return out;
}
