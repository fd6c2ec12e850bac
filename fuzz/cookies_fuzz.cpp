// MergeCookies on any two cookie texts: no space survives in the entries,
// both variables are written back as described, and merging a result again
// with no new cookies only drops the later entries of a repeated name (and an
// empty last entry, which the split at ";" never yields): a result whose
// entries have distinct names and none is empty stays as it is.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz/fuzz_support.h"
#include "web/cookies.h"

namespace {

bool HasSpace(std::string_view t) {
    for (const std::string_view c : fuzz::Chars(t)) {
        if (c == " " || c == FullWidthSpace) {
            return true;
        }
    }
    return false;
}

// The merged text with the later entries of each name left out.
Text FirstOfEachName(const Text& merged) {
    const TextList entries = SplitText(merged, "; ");
    TextList kept;
    for (const Text& entry : entries.Items()) {
        if (!HasCookieName(kept, CookieName(entry))) {
            kept.Append(entry);
        }
    }
    Text out;
    for (int i = 1; i <= kept.Count(); ++i) {
        out += i == 1 ? kept.Item(i) : "; " + kept.Item(i);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const bool narrow = (input.ConsumeIntegral<std::uint8_t>() & 1) != 0;
    Text oldCookies = BytesToText(
        input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 256)));
    Text newCookies = BytesToText(input.ConsumeBytes<std::uint8_t>(input.remaining_bytes()));
    if (narrow) {
        oldCookies = fuzz::Narrow(oldCookies);
        newCookies = fuzz::Narrow(newCookies);
    }
    const std::string story = "old=" + fuzz::Show(oldCookies) + " new=" + fuzz::Show(newCookies);

    const Text merged = MergeCookies(oldCookies, newCookies);
    FUZZ_CHECK(oldCookies == merged, story);
    FUZZ_CHECK(!HasSpace(newCookies), story + " new after=" + fuzz::Show(newCookies));
    const TextList entries = SplitText(merged, "; ");
    for (const Text& entry : entries.Items()) {
        FUZZ_CHECK(!HasSpace(entry), story + " merged=" + fuzz::Show(merged));
        FUZZ_CHECK(!std::string_view(entry).ends_with("=deleted"),
                   story + " merged=" + fuzz::Show(merged));
    }

    Text again = merged;
    Text none;
    const Text second = MergeCookies(again, none);
    FUZZ_CHECK(second == FirstOfEachName(merged),
               story + " merged=" + fuzz::Show(merged) + " second=" + fuzz::Show(second));
    Text third = second;
    FUZZ_CHECK(MergeCookies(third, none) == FirstOfEachName(second),
               story + " second=" + fuzz::Show(second));
    return 0;
}
