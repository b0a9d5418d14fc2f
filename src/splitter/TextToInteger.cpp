#include "splitter/TextToInteger.h"

#include "splitter/HalfWidth.h"

namespace folioknife::splitter {

std::int32_t textToInteger(std::string_view text) {
    if (text.empty()) return 0;
    const Text folded = foldHalfWidth(text.substr(0, text.find('\0')), programCodePage());
    std::size_t i = 0;
    while (i < folded.size() && (folded[i] == ' ' || (folded[i] >= '\t' && folded[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < folded.size() && (folded[i] == '+' || folded[i] == '-')) negative = folded[i++] == '-';
    std::uint32_t value = 0;
    for (; i < folded.size() && folded[i] >= '0' && folded[i] <= '9'; ++i) {
        value = value * 10u + static_cast<std::uint32_t>(folded[i] - '0');
    }
    if (negative) value = 0u - value;
    return static_cast<std::int32_t>(value);
}

}  // namespace folioknife::splitter
