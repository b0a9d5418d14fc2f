#include "splitter/HeadingMarks.h"

#include "splitter/ChapterExpression.h"
#include "splitter/HeadingWords.h"

namespace folioknife::splitter {

LineMarks::LineMarks(const std::string& codePage) : codePage_(codePage) {
    // The byte-order mark stands before the first line of many UTF-8 novels.
    add(blanks_, {"\u3000", "\uFEFF"});
    add(punctuation_, {"。", "，", "；", "！", "？", "…"});
    add(brackets_, {"【", "《", "「", "［", "（", "】", "》", "」", "］", "）", "〔", "〕"});
    add(mainText_, {"正文"});
    // Words that carry a sentence on right after a chapter's name: 第一章中所讨论的….
    add(continuations_, {"中", "里", "所",   "的", "曾",   "已",   "提到", "讨论", "指出", "说",
                         "讲", "是", "和",   "与", "及",   "里",   "内",   "把",   "将",   "就",
                         "也", "还", "介绍", "谈", "论述", "描述", "写",   "之",   "提"});
    add(endWords_, {"完", "终", "完结", "结束", "终了"});
    add(extras_, headingWords::kExtras.begin(), headingWords::kExtras.end());
    add(leaders_, {"…", "⋯", "·", "．"});
    add(digits_, {"０", "１", "２", "３", "４", "５", "６", "７", "８", "９"});
    add(fullStop_, {"。"});
    add(separators_, {"：", "·", "—"});
}

void LineMarks::add(std::vector<std::string>& to, const char* const* begin,
                    const char* const* end) {
    for (const char* const* text = begin; text != end; ++text) {
        auto converted = convertText(*text, "UTF-8", codePage_);
        if (converted && !converted->empty()) to.push_back(*converted);
    }
    // Longest first, so that 完结 is taken whole rather than as 完.
    std::stable_sort(to.begin(), to.end(), [](const std::string& a, const std::string& b) {
        return a.size() > b.size();
    });
}

NumberedMarks::NumberedMarks(const std::string& codePage) {
    const Text numerals = numeralGroup(codePage) + "+";
    const auto in = [&](const char* utf8) {
        auto converted = convertText(utf8, "UTF-8", codePage);
        return converted ? *converted : std::string();
    };
    const Text blanks = "([ \\t]|" + in("\u3000") + "){0,4}";
    for (const char* first : {headingWords::kVolumePrefix, headingWords::kVolumeWordFirst})
        firstBytes_ += in(first).substr(0, 1);
    Text words;
    for (std::size_t k = 0; k < headingWords::kVolumeWords.size(); ++k)
        words += (k == 0 ? "" : "|") + in(headingWords::kVolumeWords[k]);
    // The program's own expressions: they compile.
    (void)volume_.compile(in(headingWords::kVolumePrefix) + blanks + numerals + blanks + "(" +
                          words + ")|" + in(headingWords::kVolumeWordFirst) + blanks + numerals);
    (void)number_.compile(numerals);
}

}  // namespace folioknife::splitter
