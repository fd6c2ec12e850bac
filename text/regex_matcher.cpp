// RegexMatcher over PCRE2's 32-bit library in non-UTF mode. Each GBK
// character becomes one code unit: a byte below 0x80 stays itself, a lead and
// trail pair becomes 0x10000 + lead * 256 + trail, and a lone lead byte at the
// end becomes 0x100 + byte. A match can then never start or end inside a
// double-byte character, and CASELESS folds the ASCII letters only (no unit
// between 0x80 and 0xFF ever occurs, and PCRE2 folds nothing above 0xFF
// without UCP).
#define PCRE2_CODE_UNIT_WIDTH 32
#include "text/regex_matcher.h"

#include <pcre2.h>

#include <stop_token>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

struct CodeDeleter {
    void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct MatchDataDeleter {
    void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};
struct CompileContextDeleter {
    void operator()(pcre2_compile_context* context) const { pcre2_compile_context_free(context); }
};
using CodePtr = std::unique_ptr<pcre2_code, CodeDeleter>;
using MatchDataPtr = std::unique_ptr<pcre2_match_data, MatchDataDeleter>;
using CompileContextPtr = std::unique_ptr<pcre2_compile_context, CompileContextDeleter>;

// Writes the units of t into out, which has room for t.size() units, and
// returns how many it wrote.
// Gives up, returning 0, when stop is requested (looked at once a megabyte).
std::size_t ToUnits(std::string_view t, PCRE2_UCHAR32* out, const std::stop_token& stop = {}) {
    constexpr std::size_t CheckEvery = std::size_t{1} << 20;
    const auto* p = reinterpret_cast<const unsigned char*>(t.data());
    const std::size_t n = t.size();
    std::size_t i = 0;
    std::size_t k = 0;
    std::size_t nextCheck = CheckEvery;
    while (i < n) {
        if (i >= nextCheck) {
            if (stop.stop_requested()) {
                return 0;
            }
            nextCheck += CheckEvery;
        }
        // Pages are mostly ASCII markup: take eight plain bytes at a time.
        if (i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, p + i, 8);
            if ((word & 0x8080808080808080ull) == 0) {
                for (int b = 0; b < 8; ++b) {
                    out[k++] = p[i + b];
                }
                i += 8;
                continue;
            }
        }
        const unsigned char c = p[i];
        if (c < 0x80) {
            out[k++] = c;
            ++i;
        } else if (i + 1 < n) {
            out[k++] = 0x10000u + c * 256u + p[i + 1];
            i += 2;
        } else {
            out[k++] = 0x100u + c;
            ++i;
        }
    }
    return k;
}

// Scratch room for the units of a subject, kept per thread: fresh memory is
// slow to touch, and the job thread parses page after page.
class UnitBuffer {
  public:
    PCRE2_UCHAR32* Room(std::size_t n) {
        if (n > capacity_ || capacity_ > std::max<std::size_t>(n * 4, 1 << 20)) {
            capacity_ = std::max<std::size_t>(n, 1024);
            data_ = std::make_unique_for_overwrite<PCRE2_UCHAR32[]>(capacity_);
        }
        return data_.get();
    }

  private:
    std::unique_ptr<PCRE2_UCHAR32[]> data_;
    std::size_t capacity_ = 0;
};

// Walks a text forward by characters, keeping unit and byte offsets in step.
class OffsetCursor {
  public:
    explicit OffsetCursor(std::string_view text) : text_(text) {}

    std::size_t ByteOffset(std::size_t unit) {
        if (unit < unit_) {
            unit_ = 0;
            byte_ = 0;
        }
        const auto* p = reinterpret_cast<const unsigned char*>(text_.data());
        const std::size_t n = text_.size();
        while (unit_ < unit && byte_ < n) {
            // Eight plain bytes are eight units.
            if (unit - unit_ >= 8 && byte_ + 8 <= n) {
                std::uint64_t word;
                std::memcpy(&word, p + byte_, 8);
                if ((word & 0x8080808080808080ull) == 0) {
                    byte_ += 8;
                    unit_ += 8;
                    continue;
                }
            }
            byte_ += (p[byte_] >= 0x80 && byte_ + 1 < n) ? 2 : 1;
            ++unit_;
        }
        return byte_;
    }

  private:
    std::string_view text_;
    std::size_t unit_ = 0;
    std::size_t byte_ = 0;
};

// Byte offsets of a match or group; pages never reach 4 GiB.
struct Span {
    std::uint32_t begin = 1;
    std::uint32_t end = 0;  // begin > end: the group took no part
};

}  // namespace

struct RegexMatcher::Impl {
    std::string_view subject;
    // For each match, stride spans: the whole match, then each capture group.
    std::vector<Span> spans;
    std::size_t stride = 0;
};

RegexMatcher::RegexMatcher() : impl_(std::make_unique<Impl>()) {}
RegexMatcher::~RegexMatcher() = default;

void RegexMatcher::Search(std::string_view pattern, std::string_view subject,
                          const std::stop_token& stop) {
    impl_->spans.clear();
    impl_->stride = 0;
    impl_->subject = subject;

    std::vector<PCRE2_UCHAR32> patternUnits(pattern.size() + 1);
    patternUnits.resize(ToUnits(pattern, patternUnits.data()));
    CompileContextPtr context(pcre2_compile_context_create(nullptr));
    if (!context) {
        return;
    }
    pcre2_set_newline(context.get(), PCRE2_NEWLINE_LF);
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    CodePtr code(pcre2_compile(patternUnits.data(), patternUnits.size(),
                               PCRE2_CASELESS | PCRE2_MULTILINE, &error, &errorOffset,
                               context.get()));
    if (!code) {
        return;
    }
    pcre2_jit_compile(code.get(), PCRE2_JIT_COMPLETE);
    MatchDataPtr data(pcre2_match_data_create_from_pattern(code.get(), nullptr));
    if (!data) {
        return;
    }

    thread_local UnitBuffer buffer;
    PCRE2_UCHAR32* units = buffer.Room(impl_->subject.size());
    const std::size_t unitCount = ToUnits(impl_->subject, units, stop);
    if (stop.stop_requested()) {
        return;
    }

    OffsetCursor cursor(impl_->subject);
    const uint32_t pairs = pcre2_get_ovector_count(data.get());
    impl_->stride = pairs;
    PCRE2_SIZE start = 0;
    while (start <= unitCount && !stop.stop_requested()) {
        const int rc = pcre2_match(code.get(), units, unitCount, start, 0, data.get(), nullptr);
        if (rc < 0) {
            break;  // no further match, or the engine gave up (match limit)
        }
        const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data.get());
        // Matches come in page order: move the cursor to this match's start and
        // walk each group from there, never from the start of the page.
        cursor.ByteOffset(ov[0]);
        for (uint32_t k = 0; k < pairs; ++k) {
            Span span;
            if (ov[2 * k] != PCRE2_UNSET && ov[2 * k] <= ov[2 * k + 1]) {
                OffsetCursor group = cursor;
                span.begin = static_cast<std::uint32_t>(group.ByteOffset(ov[2 * k]));
                span.end = static_cast<std::uint32_t>(group.ByteOffset(ov[2 * k + 1]));
            }
            impl_->spans.push_back(span);
        }
        // An empty match would be found again at once: step over one character.
        start = ov[1] > ov[0] ? ov[1] : ov[1] + 1;
    }
}

int RegexMatcher::MatchCount() const {
    return impl_->stride == 0 ? 0 : static_cast<int>(impl_->spans.size() / impl_->stride);
}

Text RegexMatcher::SubMatchText(int i, int j) const {
    if (i < 1 || i > MatchCount() || j < 0 || static_cast<std::size_t>(j) >= impl_->stride) {
        return {};
    }
    const Span& s =
        impl_->spans[static_cast<std::size_t>(i - 1) * impl_->stride + static_cast<std::size_t>(j)];
    return s.begin <= s.end ? Text(impl_->subject.substr(s.begin, s.end - s.begin)) : Text();
}

Text RegexMatcher::MatchText(int i) const {
    return SubMatchText(i, 0);
}

int RegexMatcher::SubMatchCount() const {
    return MatchCount() == 0 ? 0 : static_cast<int>(impl_->stride) - 1;
}
