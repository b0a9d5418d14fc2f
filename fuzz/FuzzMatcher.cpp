// The matcher with the expression and the text both from the input (split at the first 0xFF
// 0x00 pair): no crash, no hang; matches in order, not overlapping, inside the text, at
// character boundaries; and the literal shortcut finds what the plain search finds.
#include <cstdint>
#include <string>

#include "splitter/DocumentEncoding.h"
#include "splitter/ExpressionMatcher.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace folioknife::splitter;
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = input.find(std::string("\xFF\x00", 2));
    const std::string expression = input.substr(0, cut);
    const std::string text = cut == std::string::npos ? input : input.substr(cut + 2);
    ExpressionMatcher matcher, plain;
    if (!matcher.compile(expression).ok) return 0;
    const bool plainCompiled = plain.compile("(?:)" + expression).ok;
    for (CharacterSet set :
         {CharacterSet::SingleByte, CharacterSet::DoubleByte, CharacterSet::Utf8}) {
        const SearchResult found = matcher.searchAll(text, set);
        const auto& matches = found.matches;
        std::int64_t previousEnd = 0;
        for (const auto& m : matches) {
            if (m.offset < previousEnd || m.length < 0 ||
                m.offset + m.length > static_cast<std::int64_t>(text.size()))
                __builtin_trap();
            if (!isCharacterBoundary(text, static_cast<std::size_t>(m.offset), set) ||
                !isCharacterBoundary(text, static_cast<std::size_t>(m.offset + m.length), set))
                __builtin_trap();
            previousEnd = m.offset + m.length;
        }
        // Both stop early when the engine gives up, possibly at different places: Boost's
        // effort limit grows with the length of the expression, so the four bytes of "(?:)"
        // alone can let the plain search finish where the other gives up. Compare only
        // searches that both ran to their end.
        if (text.size() < 256 && expression.size() < 64 &&
            !requiredLiteralPrefix(expression).empty() && plainCompiled) {
            const SearchResult plainFound = plain.searchAll(text, set);
            if (found.completed && plainFound.completed && matches != plainFound.matches)
                __builtin_trap();
        }
    }
    return 0;
}
