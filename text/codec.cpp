// GBK <-> UTF-8 through glibc iconv ("CP936"). The walk follows the program's
// own character rule (a byte of 0x80 or above leads a two-byte character), so
// the codec and the text operations always agree on where characters are.
#include "text/codec.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <bitset>
#include <cerrno>
#include <mutex>

namespace {

class Iconv {
  public:
    Iconv(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok()) {
            iconv_close(handle_);
        }
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    bool ok() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much of in as it can and appends it to out; returns the
    // number of input bytes consumed and leaves errno as iconv left it.
    std::size_t Convert(std::string_view in, std::string& out) {
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        std::array<char, 4096> buffer;
        errno = 0;
        while (srcLeft > 0) {
            char* dst = buffer.data();
            std::size_t dstLeft = buffer.size();
            const std::size_t rc = iconv(handle_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer.data(), buffer.size() - dstLeft);
            if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
                break;
            }
        }
        return in.size() - srcLeft;
    }

  private:
    iconv_t handle_;
};

// Which lead/trail pairs code page 936 defines, read once from iconv.
const std::bitset<65536>& DefinedPairs() {
    static std::bitset<65536> pairs;
    static std::once_flag once;
    std::call_once(once, [] {
        Iconv cd("UTF-8", "CP936");
        if (!cd.ok()) {
            return;
        }
        std::string out;
        for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
            for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
                if (trail == 0x7F) {
                    continue;
                }
                const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                out.clear();
                if (cd.Convert(std::string_view(pair, 2), out) == 2 && !out.empty()) {
                    pairs.set(lead * 256 + trail);
                }
            }
        }
    });
    return pairs;
}

constexpr std::string_view Replacement = "\xEF\xBF\xBD";  // U+FFFD

}  // namespace

bool IsGbkPair(unsigned char lead, unsigned char trail) {
    return DefinedPairs().test(lead * 256u + trail);
}

std::string GbkToUtf8(std::string_view gbk) {
    std::string out;
    out.reserve(gbk.size() * 3 / 2);
    Iconv cd("UTF-8", "CP936");
    std::size_t runStart = 0;  // start of the run of valid characters not yet converted
    auto flush = [&](std::size_t end) {
        if (end > runStart && cd.ok()) {
            cd.Convert(gbk.substr(runStart, end - runStart), out);
        }
    };
    std::size_t i = 0;
    while (i < gbk.size()) {
        const auto c = static_cast<unsigned char>(gbk[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (i + 1 < gbk.size() && IsGbkPair(c, static_cast<unsigned char>(gbk[i + 1]))) {
            i += 2;
            continue;
        }
        flush(i);
        out.append(Replacement);
        ++i;
        runStart = i;
    }
    flush(gbk.size());
    return out;
}

Text Utf8ToGbk(std::string_view utf8) {
    Text out;
    out.reserve(utf8.size());
    Iconv cd("CP936", "UTF-8");
    if (!cd.ok()) {
        return out;
    }
    while (!utf8.empty()) {
        const std::size_t used = cd.Convert(utf8, out);
        utf8.remove_prefix(used);
        if (utf8.empty()) {
            break;
        }
        // A character GBK cannot write, or a broken UTF-8 sequence: one '?'
        // for the whole sequence.
        out.push_back('?');
        const auto c = static_cast<unsigned char>(utf8[0]);
        std::size_t skip = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        for (std::size_t k = 1; k < skip; ++k) {
            if (k >= utf8.size() || (static_cast<unsigned char>(utf8[k]) & 0xC0) != 0x80) {
                skip = k;
                break;
            }
        }
        utf8.remove_prefix(std::min(skip, utf8.size()));
    }
    // GBK text holds no zero byte.
    std::erase(out, '\0');
    return out;
}
