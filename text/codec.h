// The program's only conversions between GBK (code page 936) and Unicode:
// at the widgets and for file-system names. File contents never pass here.
#pragma once

#include <string>
#include <string_view>

#include "text/text.h"

// A byte that does not start a valid character becomes U+FFFD and the walk
// goes on with the next byte, so the output never holds a character that the
// input did not spell out (a lone lead byte cannot swallow a following '/').
std::string GbkToUtf8(std::string_view gbk);

// A character that GBK cannot write becomes '?'.
Text Utf8ToGbk(std::string_view utf8);

// True when lead and trail form a character that GBK defines.
bool IsGbkPair(unsigned char lead, unsigned char trail);
