// Helpers shared by the fuzz targets: the lead-byte rule written out plainly,
// byte choices that make matches likely, and a check that stops the run with
// the failing input's story.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "text/text.h"

namespace fuzz {

// A byte of 0x80 or above leads a two-byte character; at the end of the text
// it stands alone.
inline bool IsLead(char c) {
    return static_cast<unsigned char>(c) >= 0x80;
}

// The character starts of t, in order.
inline std::vector<std::size_t> CharStarts(std::string_view t) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < t.size(); i += (IsLead(t[i]) && i + 1 < t.size()) ? 2 : 1) {
        starts.push_back(i);
    }
    return starts;
}

// The characters of t, each one or two bytes.
inline std::vector<std::string_view> Chars(std::string_view t) {
    std::vector<std::string_view> chars;
    for (const std::size_t i : CharStarts(t)) {
        chars.push_back(t.substr(i, (IsLead(t[i]) && i + 1 < t.size()) ? 2 : 1));
    }
    return chars;
}

inline char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Texts made of a few bytes match each other far more often than random
// ones: lead bytes, trail bytes that are ASCII letters or a backslash, the
// full-width space, separators.
inline constexpr std::string_view NarrowBytes = "aAbB;= /\\:.\x81\xA1\xB9\xED\x5C\x40\x7E\xFE";

inline Text Narrow(std::string_view bytes) {
    Text out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        out.push_back(NarrowBytes[static_cast<unsigned char>(c) % NarrowBytes.size()]);
    }
    return out;
}

// Printable form of a text for failure reports.
inline std::string Show(std::string_view t) {
    std::string out = "\"";
    for (const char ch : t) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out.push_back(ch);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out + "\"";
}

[[noreturn]] inline void Fail(const std::string& what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
    std::abort();
}

#define FUZZ_CHECK(condition, story)                                \
    do {                                                            \
        if (!(condition)) {                                         \
            ::fuzz::Fail(std::string(#condition) + ": " + (story)); \
        }                                                           \
    } while (false)

}  // namespace fuzz
