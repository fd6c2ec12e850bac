// A small matcher over PCRE2's 32-bit library. Each GBK character of subject
// and pattern becomes one code unit, so a match never starts or ends inside a
// double-byte character. Options: caseless (ASCII only), multiline, global.
#pragma once

#include <memory>
#include <stop_token>

#include "text/text.h"

class RegexMatcher {
  public:
    RegexMatcher();
    ~RegexMatcher();
    RegexMatcher(const RegexMatcher&) = delete;
    RegexMatcher& operator=(const RegexMatcher&) = delete;

    // Finds every match of pattern in subject; a pattern the engine rejects
    // finds none. The matcher reads subject again for the match texts, so
    // subject must outlive it (or the next Search). A stop request ends the
    // search early, with the matches found so far.
    void Search(std::string_view pattern, std::string_view subject,
                const std::stop_token& stop = {});
    int MatchCount() const;
    // Text of match i (1-based); empty when there is none.
    Text MatchText(int i) const;
    // Text of capture group j (1-based; 0 is the whole match) of match i
    // (1-based); empty when there is none.
    Text SubMatchText(int i, int j) const;
    // Number of capture groups of the first match.
    int SubMatchCount() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
