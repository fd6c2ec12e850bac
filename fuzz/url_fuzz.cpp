// UrlHost, UrlPort, UrlPath and HeaderValue on any text: none of them may
// crash, the host holds no "/" character and no capital letter, and the path
// is "/" or the rest of the URL from one of its "/" characters.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz/fuzz_support.h"
#include "web/url.h"

namespace {

bool HasChar(std::string_view t, char c) {
    for (const std::string_view ch : fuzz::Chars(t)) {
        if (ch.size() == 1 && ch[0] == c) {
            return true;
        }
    }
    return false;
}

bool HasCapital(std::string_view t) {
    for (const std::string_view ch : fuzz::Chars(t)) {
        if (ch.size() == 1 && ch[0] >= 'A' && ch[0] <= 'Z') {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const bool narrow = (input.ConsumeIntegral<std::uint8_t>() & 1) != 0;
    Text url = BytesToText(input.ConsumeBytes<std::uint8_t>(input.remaining_bytes()));
    if (narrow) {
        url = fuzz::Narrow(url);
    }
    const std::string story = "url=" + fuzz::Show(url);

    const Text host = UrlHost(url);
    const Text hostWithPort = UrlHost(url, false, true);
    const Text domain = UrlHost(url, true, false);
    for (const Text* h : {&host, &hostWithPort, &domain}) {
        FUZZ_CHECK(!HasChar(*h, '/'), story + " host=" + fuzz::Show(*h));
        FUZZ_CHECK(!HasCapital(*h), story + " host=" + fuzz::Show(*h));
    }
    FUZZ_CHECK(!HasChar(host, ':') && !HasChar(domain, ':'), story);
    // The port is cut from the same host text.
    FUZZ_CHECK(hostWithPort.starts_with(host), story);
    (void)UrlPort(url);

    const Text path = UrlPath(url);
    FUZZ_CHECK(path.starts_with('/'), story + " path=" + fuzz::Show(path));
    FUZZ_CHECK(path == "/" || std::string_view(url).ends_with(path),
               story + " path=" + fuzz::Show(path));

    // The same text read as a header line.
    const Text value = HeaderValue(url);
    if (FindText(url, ":") == -1) {
        FUZZ_CHECK(value.empty(), story);
    } else {
        FUZZ_CHECK(url.find(value) != std::string::npos, story + " value=" + fuzz::Show(value));
        const std::vector<std::string_view> chars = fuzz::Chars(value);
        FUZZ_CHECK(chars.empty() || (chars.front() != " " && chars.front() != FullWidthSpace),
                   story + " value=" + fuzz::Show(value));
    }
    return 0;
}
