// SafeName on any name from the site: the result is one harmless path
// component inside its folder, whatever the name held, and it survives the
// trip to the disk's encoding and back unchanged.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <filesystem>

#include "fuzz/fuzz_support.h"
#include "text/codec.h"
#include "text/files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const int reserved = input.ConsumeIntegralInRange<int>(0, 300);
    const Text name = input.ConsumeRemainingBytesAsString();

    const Text safe = SafeName(name, reserved);
    const std::string native = GbkToUtf8(safe);
    const std::string story = "name=" + fuzz::Show(name) + " reserved=" + std::to_string(reserved) +
                              " safe=" + fuzz::Show(safe) + " native=" + fuzz::Show(native);
    FUZZ_CHECK(!native.empty(), story);
    FUZZ_CHECK(native.find_first_of("/\\") == std::string::npos, story);
    FUZZ_CHECK(
        std::none_of(native.begin(), native.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }),
        story);
    FUZZ_CHECK(native != "." && native != "..", story);
    FUZZ_CHECK(native.back() != '.' && native.back() != ' ', story);
    FUZZ_CHECK(native.size() <= static_cast<std::size_t>(std::max(1, 255 - reserved)), story);
    const std::filesystem::path joined = std::filesystem::path("/base") / native;
    FUZZ_CHECK(joined.lexically_normal().parent_path() == "/base", story);
    FUZZ_CHECK(Utf8ToGbk(native) == safe, story);
    return 0;
}
