// Internal: the boundary-aware byte search shared by the text operations.
#pragma once

#include <cstddef>
#include <string_view>

class TextSearcher {
  public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    // text and needle must outlive the searcher.
    TextSearcher(std::string_view text, std::string_view needle, bool ignoreCase);

    // The first 0-based offset >= from where the needle matches and that is a
    // character start of the walk; known (<= from) is any offset already known
    // to be a character start of that walk, such as its beginning or the last
    // match. npos when there is none.
    std::size_t Next(std::size_t known, std::size_t from) const;

    // Whether pos is a character start of a walk that passed through known.
    bool IsCharStart(std::size_t known, std::size_t pos) const;
    bool MatchesAt(std::size_t pos) const;

  private:
    std::size_t NextCandidate(std::size_t from) const;

    const unsigned char* text_;
    std::size_t size_;
    const unsigned char* needle_;
    std::size_t needleSize_;
    bool ignoreCase_;
};
