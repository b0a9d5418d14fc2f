// textToInteger in both code pages: no crash; digits alone read back as their value mod 2^32.
#include <cstdint>
#include <string>

#include "splitter/HalfWidth.h"
#include "splitter/TextToInteger.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace folioknife::splitter;
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const char* codePage : {"GBK", "UTF-8"}) {
        setProgramCodePage(codePage);
        (void)textToInteger(text);
        (void)foldHalfWidth(text, codePage);
    }
    std::string digits;
    std::uint32_t expected = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            digits += c;
            expected = expected * 10u + static_cast<std::uint32_t>(c - '0');
        }
    }
    if (textToInteger(digits) != static_cast<std::int32_t>(expected)) __builtin_trap();
    return 0;
}
