// AllTextsBetween against a plain matcher for markers without pattern
// characters: scan the text by characters; at each character start look for
// the left marker, then for the nearest right marker after it; the item lies
// between them, and the scan goes on after the right marker. Markers compare
// character by character, ASCII letters without case, so no occurrence
// starts or ends inside a double-byte character.
#include <fuzzer/FuzzedDataProvider.h>

#include <optional>

#include "fuzz/fuzz_support.h"
#include "text/text_between.h"

namespace {

using fuzz::IsLead;

// The characters that keep a pattern meaning in a marker. The other nine
// (? * + [ ] ( ) { }) are made literal, so markers may hold them.
constexpr std::string_view PatternChars = ".^$|\\";

// A marker made of whole characters, none of them a pattern character. A
// lone lead byte at the end goes too: escaping the marker drops it, as every
// replacement walk drops a lone lead byte that ends its text.
Text CleanMarker(std::string_view raw) {
    Text out;
    for (const std::string_view c : fuzz::Chars(raw)) {
        const bool patternChar = c.size() == 1 && PatternChars.find(c[0]) != std::string_view::npos;
        const bool loneLead = c.size() == 1 && IsLead(c[0]);
        if (!patternChar && !loneLead) {
            out += c;
        }
    }
    return out;
}

bool SameChar(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    return a.size() == 2 ? a == b : fuzz::FoldAscii(a[0]) == fuzz::FoldAscii(b[0]);
}

class Reference {
  public:
    explicit Reference(std::string_view text) : text_(text), chars_(fuzz::Chars(text)) {
        for (const std::size_t start : fuzz::CharStarts(text)) {
            starts_.push_back(start);
        }
        starts_.push_back(text.size());  // the end, as the start of nothing
    }

    // Index of the first character at or after `from` where the marker's
    // characters begin.
    std::optional<std::size_t> Find(const std::vector<std::string_view>& marker,
                                    std::size_t from) const {
        for (std::size_t at = from; at + marker.size() <= chars_.size(); ++at) {
            bool same = true;
            for (std::size_t k = 0; k < marker.size() && same; ++k) {
                same = SameChar(chars_[at + k], marker[k]);
            }
            if (same) {
                return at;
            }
        }
        return std::nullopt;
    }

    TextList Items(std::string_view left, std::string_view right) const {
        const std::vector<std::string_view> l = fuzz::Chars(left);
        const std::vector<std::string_view> r = fuzz::Chars(right);
        TextList items;
        std::size_t from = 0;
        while (from <= chars_.size()) {
            const std::optional<std::size_t> leftAt = Find(l, from);
            if (!leftAt) {
                break;
            }
            const std::size_t itemBegin = *leftAt + l.size();
            const std::optional<std::size_t> rightAt = Find(r, itemBegin);
            if (!rightAt) {
                break;
            }
            items.Append(
                Text(text_.substr(starts_[itemBegin], starts_[*rightAt] - starts_[itemBegin])));
            const std::size_t end = *rightAt + r.size();
            // An empty match is found again where it ended: step over one character.
            from = end > *leftAt ? end : end + 1;
        }
        return items;
    }

  private:
    std::string_view text_;
    std::vector<std::string_view> chars_;
    std::vector<std::size_t> starts_;
};

std::string Story(std::string_view text, std::string_view left, std::string_view right) {
    return "text=" + fuzz::Show(text) + " left=" + fuzz::Show(left) + " right=" + fuzz::Show(right);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const auto flags = input.ConsumeIntegral<std::uint8_t>();
    const bool narrow = (flags & 1) != 0;
    // Markers as a page could make them (a book id goes into the chapter id
    // markers): pattern characters and all. No plain matcher says what they
    // find, but every item must still be a piece of the text.
    const bool raw = (flags & 2) != 0;
    Text left = input.ConsumeRandomLengthString(12);
    Text right = input.ConsumeRandomLengthString(12);
    Text text = input.ConsumeRemainingBytesAsString();
    if (narrow) {
        left = fuzz::Narrow(left);
        right = fuzz::Narrow(right);
        text = fuzz::Narrow(text);
    }
    TextList items{"stale"};
    if (raw) {
        AllTextsBetween(text, left, right, items);
        for (const Text& item : items.Items()) {
            FUZZ_CHECK(text.find(item) != std::string::npos,
                       Story(text, left, right) + " item=" + fuzz::Show(item));
        }
        return 0;
    }
    left = CleanMarker(left);
    right = CleanMarker(right);
    // The quote placeholder is resolved before matching; leave it out here.
    if (FindText(left, QuotePlaceholder) != -1 || FindText(right, QuotePlaceholder) != -1) {
        return 0;
    }

    AllTextsBetween(text, left, right, items);
    const TextList expected = Reference(text).Items(left, right);
    FUZZ_CHECK(items == expected, Story(text, left, right) + " items " +
                                      std::to_string(items.Count()) + " expected " +
                                      std::to_string(expected.Count()));
    return 0;
}
