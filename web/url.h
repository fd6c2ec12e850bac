// Taking a URL apart for the transport, and reading the value of a response
// header line. A URL is "scheme://host[:port]/path?query"; the scheme may be
// missing (http is assumed) and letters may be in either case. Each call reads
// the URL text afresh; none of them fails.
#pragma once

#include <string_view>

#include "text/text.h"

// The host, lower-cased. domainOnly keeps the last two dot-separated labels;
// keepPort leaves a ":port" attached.
Text UrlHost(std::string_view url, bool domainOnly = false, bool keepPort = false);

// The port to connect to: the one written in the URL (whatever number its text
// reads as, 0 for an empty one), else 443 for https and 80 otherwise.
int UrlPort(std::string_view url);

// The object to request: everything from the first "/" after the host, query
// and fragment included, as written; "/" when there is none.
Text UrlPath(std::string_view url);

// The text after the first colon of a header line, trimmed; empty without one.
Text HeaderValue(std::string_view line);
