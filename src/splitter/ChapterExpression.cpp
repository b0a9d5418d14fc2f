#include "splitter/ChapterExpression.h"

#include <optional>
#include <string>
#include "splitter/LeadBytes.h"

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

namespace {
bool isDoubleByteCodePage(const std::string& codePage) {
    return sameCodePage(codePage, "GBK") || sameCodePage(codePage, "GB18030") ||
           sameCodePage(codePage, "GB2312") || sameCodePage(codePage, "EUC-CN");
}
}  // namespace

Text foldHalfWidth(std::string_view text, const std::string& codePage) {
    Text out;
    out.reserve(text.size());
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    if (sameCodePage(codePage, "UTF-8")) {
        for (std::size_t i = 0; i < text.size();) {
            // U+FF0B plus, U+FF0D minus, U+FF10..U+FF19 digits: EF BC 8B / 8D / 90..99.
            if (i + 2 < text.size() && byte(i) == 0xEF && byte(i + 1) == 0xBC) {
                unsigned c = byte(i + 2);
                if (c == 0x8B || c == 0x8D || (c >= 0x90 && c <= 0x99)) {
                    out += static_cast<char>(c - 0x8B + '+');
                    i += 3;
                    continue;
                }
            }
            // U+3000 ideographic space: E3 80 80.
            if (i + 2 < text.size() && byte(i) == 0xE3 && byte(i + 1) == 0x80 &&
                byte(i + 2) == 0x80) {
                out += ' ';
                i += 3;
                continue;
            }
            out += text[i++];
        }
        return out;
    }
    if (!isDoubleByteCodePage(codePage)) return Text(text);
    for (std::size_t i = 0; i < text.size();) {
        unsigned lead = byte(i);
        if (!isLeadByte(static_cast<unsigned char>(lead), LeadBytes::Dbcs) ||
            i + 1 >= text.size()) {
            out += text[i++];
            continue;
        }
        unsigned trail = byte(i + 1);
        if (lead == 0xA3 && (trail == 0xAB || trail == 0xAD || (trail >= 0xB0 && trail <= 0xB9))) {
            out += static_cast<char>(trail - 0xAB + '+');
        } else if (lead == 0xA1 && trail == 0xA1) {
            out += ' ';
        } else {
            out += text.substr(i, 2);
        }
        i += 2;
    }
    return out;
}

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
