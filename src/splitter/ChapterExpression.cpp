#include "splitter/ChapterExpression.h"

#include <cstring>
#include <optional>
#include <string>

#include "splitter/HeadingWords.h"

namespace folioknife::splitter {

Text numeralGroup() { return numeralGroup(programCodePage()); }

Text numeralGroup(const std::string& codePage) {
    // Whole characters, one alternative each: a bracket of bytes would take any character whose
    // bytes all happen to be in it (第中章 in UTF-8, 第末章 in GBK) and the bar as well. A
    // numeral the code page cannot write (两 in Big5) is left out rather than spoiling the rest.
    Text group = "([0-9]";
    const bool utf8 = sameCodePage(codePage, "UTF-8");
    for (const char* numeral : headingWords::kNumerals) {
        auto converted =
            utf8 ? std::optional<std::string>(numeral) : convertText(numeral, "UTF-8", codePage);
        if (!converted || converted->empty()) continue;
        group += '|';
        group += *converted;
    }
    return group + ")";
}

DocumentEncoding matchingEncoding(const DocumentEncoding& encoding) {
    return isUtf16(encoding.characters) ? encodingOf("UTF-8") : encoding;
}

namespace {

// Every character of the text whole in the expression: in a double-byte code page, a second
// byte that is an ASCII metacharacter ([ \ ] ^ { | }) is escaped.
Text wholeCharacters(const Text& text, CharacterSet characters) {
    if (characters != CharacterSet::DoubleByte) return text;
    Text out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x81 && c <= 0xFE && i + 1 < text.size()) {
            const char trail = text[++i];
            if (std::strchr("[\\]^{|}", trail) != nullptr && trail != '\0') out += '\\';
            out += trail;
        }
    }
    return out;
}

}  // namespace

Text defaultExpressionFor(const Text& prefix, const Text& suffix,
                          const DocumentEncoding& encoding) {
    const DocumentEncoding matched = matchingEncoding(encoding);
    const auto in = [&](const Text& text, const std::string& from) {
        auto converted = sameCodePage(from, matched.codePage)
                             ? std::optional<std::string>(text)
                             : convertText(text, from, matched.codePage);
        return converted ? *converted : text;
    };
    // Up to four blanks, the ideographic space among them: 第 1 章, 第　二　章. Plain groups
    // only, no (?:...): the matcher then sees that every match begins with the prefix and scans
    // for it instead of running the engine over the whole novel.
    const Text blanks = in("([ \\t]|\u3000){0,4}", "UTF-8");
    return "(" + wholeCharacters(in(prefix, programCodePage()), matched.characters) + ")" + blanks +
           "(" + numeralGroup(matched.codePage) + "+)" + blanks + "(" +
           wholeCharacters(in(suffix, programCodePage()), matched.characters) + ")";
}

ChapterExpression buildChapterExpression(SplitSettings& settings) {
    ChapterExpression expression;
    expression.defaultMode = !settings.customMode();
    if (expression.defaultMode) {
        expression.prefix = settings.prefix();
        expression.suffix = settings.suffix();
    } else {
        expression.custom = settings.expressionText();
    }
    return expression;
}

}  // namespace folioknife::splitter
