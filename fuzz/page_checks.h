// Checks shared by the page parser targets: a field is cut out of its page,
// so it is always a piece of that page.
#pragma once

#include "fuzz/fuzz_support.h"

namespace fuzz {

// The page as the jobs receive it: the body up to its first zero byte.
inline Text PageFrom(const std::uint8_t* data, std::size_t size) {
    return BytesToText(ByteBuffer(data, data + size));
}

inline void CheckPiece(std::string_view whole, std::string_view piece, const char* field) {
    FUZZ_CHECK(whole.find(piece) != std::string_view::npos,
               std::string(field) + "=" + Show(piece) + " is not in " + Show(whole));
}

}  // namespace fuzz
