// Cutting texts out of pages between a left and a right marker: the first
// occurrence (a plain byte search) or every occurrence (through the pattern
// engine, so that . ^ $ | and \ in a marker keep their pattern meaning).
#pragma once

#include <stop_token>

#include "text/text.h"

// Markers may write a double quote as this placeholder.
inline constexpr std::string_view QuotePlaceholder = "#引号";

// The text between the first left at or after start and the first right after
// it; empty when either is missing. Letters compare without case by default.
Text TextBetween(std::string_view text, std::string_view left, std::string_view right,
                 int start = 1, bool caseSensitive = false);

// Empties list, then appends the text between each left/right pair, in page order.
void AllTextsBetween(std::string_view text, std::string_view left, std::string_view right,
                     TextList& list);
// The same, giving up with the items found so far when stop is requested:
// a job cutting a huge page stops promptly.
void AllTextsBetween(std::string_view text, std::string_view left, std::string_view right,
                     TextList& list, const std::stop_token& stop);

// A chain of case-insensitive replacements, each pair working on the result of
// the one before; a pair with an empty find text changes nothing.
struct ReplacePair {
    std::string_view find;
    std::string_view replacement;
};
Text ReplacePairs(std::string_view text, std::initializer_list<ReplacePair> pairs);

// The marker with ? * + [ ] ( ) { } made literal and the quote placeholder resolved.
Text EscapeForPattern(std::string_view marker);
