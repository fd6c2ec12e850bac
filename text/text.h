// The three value types every part of the program shares, and the text and
// byte operations built on them. A Text is GBK bytes: a byte of 0x80 or above
// leads a double-byte character whose trail byte may be any value (ASCII
// letters and 0x5C included). Positions are 1-based; -1 means "not found".
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// GBK bytes without zero bytes; the absent text and the empty text are one value.
using Text = std::string;

// Any bytes, zero included.
using ByteBuffer = std::vector<std::uint8_t>;

// An ordered list of texts numbered from 1.
class TextList {
  public:
    TextList() = default;
    TextList(std::initializer_list<Text> items) : items_(items) {}

    int Count() const { return static_cast<int>(items_.size()); }
    // Item number i, 1 <= i <= Count(); the empty text for any other i.
    const Text& Item(int i) const;
    void Append(Text item) { items_.push_back(std::move(item)); }
    void Clear() { items_.clear(); }

    const std::vector<Text>& Items() const& { return items_; }
    // A temporary list's items would dangle in a range-for: name the list first.
    const std::vector<Text>& Items() const&& = delete;
    bool operator==(const TextList&) const = default;

  private:
    std::vector<Text> items_;
};

// The full-width space, GBK 0xA1 0xA1.
inline constexpr std::string_view FullWidthSpace = "\xA1\xA1";

int TextLength(std::string_view t);
Text JoinTexts(std::initializer_list<std::string_view> parts);
bool TextEquals(std::string_view a, std::string_view b);
Text TextLeft(std::string_view t, int n);
Text TextRight(std::string_view t, int n);
Text TextMid(std::string_view t, int start, int n);
int CharCode(std::string_view t, int pos);
Text CharFromCode(int code);

// First position of needle at or after start, tested only at character
// boundaries of the walk that begins at start; -1 when there is none.
int FindText(std::string_view t, std::string_view needle, int start = 1, bool ignoreCase = false);
int FindTextLast(std::string_view t, std::string_view needle, bool ignoreCase = false);

Text ToLowerText(std::string_view t);
// Only the ASCII space and the full-width space count as spaces.
Text TrimSpaces(std::string_view t);
Text RemoveAllSpaces(std::string_view t);

inline constexpr int Unlimited = -1;
// Note the sense of the flag: caseSensitive false compares letters without case.
Text ReplaceText(std::string_view t, std::string_view find, std::string_view replacement = {},
                 int start = 1, int count = Unlimited, bool caseSensitive = false);
TextList SplitText(std::string_view t, std::string_view separator);

// Leading decimal number, full-width forms read as ASCII, wrapping in 32 bits.
std::int32_t TextToInt(std::string_view t);
Text NumberToText(std::int32_t n);
// At most 13 significant digits, no trailing zeros or decimal point.
Text NumberToText(double x);
Text IntToHexText(std::int32_t n);
Text BlankText(int n);
// Every byte that is not an ASCII letter or digit becomes %XX.
Text UrlEncode(std::string_view t);

ByteBuffer TextToBytes(std::string_view t);
Text BytesToText(const ByteBuffer& b);
int BytesLength(const ByteBuffer& b);
ByteBuffer BytesLeft(const ByteBuffer& b, int n);
ByteBuffer BlankBytes(int n);
template <class... Buffers>
ByteBuffer JoinBytes(const Buffers&... parts) {
    ByteBuffer out;
    (out.insert(out.end(), parts.begin(), parts.end()), ...);
    return out;
}
std::int32_t BitOr(std::initializer_list<std::int32_t> values);

// True when the byte leads a double-byte character.
inline constexpr bool IsLeadByte(unsigned char c) {
    return c >= 0x80;
}
