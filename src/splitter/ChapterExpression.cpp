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
