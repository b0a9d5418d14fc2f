// Encoding detection and character boundaries over any bytes: the UTF-8 check agrees with
// iconv, and boundaries step through the text without skipping past its end.
#include <cstdint>
#include <string>

#include "splitter/CodePage.h"
#include "splitter/DocumentEncoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace folioknife::splitter;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const bool valid = isValidUtf8(text);
    if (valid != convertText(text, "UTF-8", "UTF-16LE").has_value()) __builtin_trap();
    (void)detectDocumentEncoding(text, "UTF-8");
    (void)detectDocumentEncoding(text, "GBK");
    for (CharacterSet set : {CharacterSet::DoubleByte, CharacterSet::Utf8, CharacterSet::Utf16Le,
                             CharacterSet::Utf16Be}) {
        std::size_t steps = 0;
        for (std::size_t at = 0; at < text.size(); at = nextCharacterBoundary(text, at, set)) {
            if (!isCharacterBoundary(text, at, set)) __builtin_trap();
            if (++steps > text.size()) __builtin_trap();
        }
    }
    return 0;
}
