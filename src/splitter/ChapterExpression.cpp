#include "splitter/ChapterExpression.h"

#include <optional>
#include <string>

namespace folioknife::splitter {

Text numeralGroup() { return numeralGroup(programCodePage()); }

Text numeralGroup(const std::string& codePage) {
    // Whole characters, one alternative each: a bracket of bytes would take any character whose
    // bytes all happen to be in it (第中章 in UTF-8, 第末章 in GBK) and the bar as well. A
    // numeral the code page cannot write (两 in Big5) is left out rather than spoiling the rest.
    static const char* const kNumerals[] = {
        "０", "１", "２", "３", "４", "５", "６", "７", "８", "９", "零", "〇", "一", "二",
        "两", "三", "四", "五", "六", "七", "八", "九", "十", "廿", "卅", "百", "千", "万",
        "壹", "贰", "叁", "肆", "伍", "陆", "柒", "捌", "玖", "拾", "佰", "仟"};
    Text group = "([0-9]";
    const bool utf8 = sameCodePage(codePage, "UTF-8");
    for (const char* numeral : kNumerals) {
        auto converted =
            utf8 ? std::optional<std::string>(numeral) : convertText(numeral, "UTF-8", codePage);
        if (!converted || converted->empty()) continue;
        group += '|';
        group += *converted;
    }
    return group + ")";
}

Text blanksGroup() {
    // Up to four blanks, the ideographic space among them: 第 1 章, 第　二　章.
    return programText("([ \\t]|　){0,4}");
}

Text buildChapterExpression(SplitSettings& settings) {
    if (settings.customMode()) return settings.expressionText();
    const Text prefix = settings.prefix();
    return defaultChapterExpression(prefix, settings.suffix());
}

Text defaultChapterExpression(const Text& prefix, const Text& suffix) {
    // Plain groups only, no (?:...): the matcher then sees that every match begins with the
    // prefix and scans for it instead of running the engine over the whole novel.
    Text expression = "(";
    expression += prefix;
    expression += ")";
    expression += blanksGroup();
    expression += "(";
    expression += numeralGroup();
    expression += "+)";
    expression += blanksGroup();
    expression += "(";
    expression += suffix;
    expression += ")";
    return expression;
}

}  // namespace folioknife::splitter
