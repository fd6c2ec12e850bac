// The byte search under FindText, FindTextLast, ReplaceText and SplitText.
//
// The operations walk a text character by character and compare at every
// character start. Walking byte by byte is slow on megabyte pages, so the
// search finds candidate positions with SSE2 (first and last byte of the
// needle) and then decides whether a candidate lies on a character start:
// a position is one exactly when the run of bytes >= 0x80 just before it,
// back to the last known character start, has an even length (a byte below
// 0x80 is always the end of a character, single or trail).
#include "text/text_search.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

inline unsigned char Fold(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c | 0x20) : c;
}

inline bool IsLetter(unsigned char c) {
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}

bool SameBytes(const unsigned char* a, const unsigned char* b, std::size_t n, bool ignoreCase) {
    if (!ignoreCase) {
        return std::memcmp(a, b, n) == 0;
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (Fold(a[i]) != Fold(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

TextSearcher::TextSearcher(std::string_view text, std::string_view needle, bool ignoreCase)
    : text_(reinterpret_cast<const unsigned char*>(text.data())),
      size_(text.size()),
      needle_(reinterpret_cast<const unsigned char*>(needle.data())),
      needleSize_(needle.size()),
      ignoreCase_(ignoreCase) {}

bool TextSearcher::IsCharStart(std::size_t known, std::size_t pos) const {
    std::size_t run = 0;
    while (pos > known && text_[pos - 1] >= 0x80) {
        --pos;
        ++run;
    }
    return run % 2 == 0;
}

bool TextSearcher::MatchesAt(std::size_t pos) const {
    return pos + needleSize_ <= size_ && SameBytes(text_ + pos, needle_, needleSize_, ignoreCase_);
}

std::size_t TextSearcher::NextCandidate(std::size_t from) const {
    const std::size_t n = needleSize_;
    if (n == 0 || from + n > size_) {
        return npos;
    }
    const std::size_t last = size_ - n;  // last position where the needle fits
    const unsigned char first = needle_[0];
    const unsigned char tail = needle_[n - 1];
    const bool foldFirst = ignoreCase_ && IsLetter(first);
    const bool foldTail = ignoreCase_ && IsLetter(tail);
    std::size_t i = from;
#if defined(__SSE2__)
    const __m128i firstV = _mm_set1_epi8(static_cast<char>(foldFirst ? (first | 0x20) : first));
    const __m128i tailV = _mm_set1_epi8(static_cast<char>(foldTail ? (tail | 0x20) : tail));
    const __m128i firstOr = _mm_set1_epi8(foldFirst ? 0x20 : 0);
    const __m128i tailOr = _mm_set1_epi8(foldTail ? 0x20 : 0);
    while (i + 16 <= last + 1) {
        const __m128i a =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text_ + i)), firstOr);
        const __m128i b = _mm_or_si128(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(text_ + i + n - 1)), tailOr);
        unsigned mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, firstV), _mm_cmpeq_epi8(b, tailV))));
        while (mask != 0) {
            const std::size_t pos = i + static_cast<std::size_t>(__builtin_ctz(mask));
            if (SameBytes(text_ + pos, needle_, n, ignoreCase_)) {
                return pos;
            }
            mask &= mask - 1;
        }
        i += 16;
    }
#endif
    for (; i <= last; ++i) {
        if (SameBytes(text_ + i, needle_, n, ignoreCase_)) {
            return i;
        }
    }
    return npos;
}

std::size_t TextSearcher::Next(std::size_t known, std::size_t from) const {
    for (std::size_t pos = NextCandidate(from); pos != npos; pos = NextCandidate(pos + 1)) {
        if (IsCharStart(known, pos)) {
            return pos;
        }
        // pos is a trail byte, so the character after it starts at pos + 1.
        known = pos + 1;
    }
    return npos;
}
