// URL decomposition on plain text operations: the URL is never parsed into a
// record, each operation reads what it needs.
#include "web/url.h"

#include "text/text_between.h"

Text UrlHost(std::string_view url, bool domainOnly, bool keepPort) {
    Text lowered = ToLowerText(url);
    if (lowered.empty() || lowered.back() != '/') {
        lowered += '/';
    }
    Text prefix;
    if (TextLeft(lowered, 8) == "https://") {
        prefix = "https://";
    } else {
        if (FindText(lowered, "http://") == -1) {
            lowered = "http://" + lowered;
        }
        prefix = "http://";
    }
    Text host = TextBetween(lowered, prefix, "/");

    if (domainOnly) {
        // Runs while a port may still hang on the last label.
        const TextList labels = SplitText(host, ".");
        const int count = labels.Count();
        if (count >= 2) {
            host = labels.Item(count - 1) + "." + labels.Item(count);
        }
    }
    if (!keepPort) {
        const int colon = FindText(host, ":");
        if (colon != -1) {
            host = TextLeft(host, colon - 1);
        }
    }
    return host;
}

int UrlPort(std::string_view url) {
    const Text host = UrlHost(url, false, true);
    const int colon = FindTextLast(host, ":");
    if (colon != -1) {
        return TextToInt(TextMid(host, colon + 1, TextLength(host)));
    }
    return ToLowerText(TextLeft(url, 5)) == "https" ? 443 : 80;
}

Text UrlPath(std::string_view url) {
    const Text host = UrlHost(url);
    // Look for the host only after the scheme: a host such as "h" or "tp"
    // would otherwise be found inside "http://" and the path would start at
    // the scheme's slashes.
    const int schemeEnd = FindText(url, "://");
    const int searchFrom = schemeEnd == -1 ? 1 : schemeEnd + 3;
    const int hostAt = FindText(url, host, searchFrom, true);
    const int slash = FindText(url, "/", hostAt);
    if (slash == -1) {
        return "/";
    }
    return TextMid(url, slash, TextLength(url));
}

Text HeaderValue(std::string_view line) {
    const int colon = FindText(line, ":");
    if (colon == -1) {
        return {};
    }
    return TrimSpaces(TextMid(line, colon + 1, TextLength(line)));
}
