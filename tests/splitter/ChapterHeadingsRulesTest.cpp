// The default mode's heading rules on small novels of our own, in GBK and UTF-8: where each
// cut falls, and that the pieces join back to the novel.
#include <gtest/gtest.h>

#include "TestText.h"
#include "fakes/FakeFileService.h"
#include "fakes/FakeMessageBoxes.h"
#include "fakes/FakeSplitSettings.h"
#include "splitter/ChapterHeadings.h"
#include "splitter/HeadingForms.h"
#include "splitter/Recode.h"
#include "splitter/Messages.h"
#include "splitter/SplitFlow.h"

namespace folioknife::splitter {
namespace {
using testing::CodePageScope;
using testing::FakeFileService;

// "~" is a chapter's body of about 2,000 bytes, "-" one short sentence; other lines are kept.
std::string novelOf(const std::vector<std::string>& lines) {
    std::string body;
    while (body.size() < 2000) body += "他沿着江边走了很久，天色渐渐暗了下来。";
    std::string text;
    for (const std::string& line : lines) {
        text += line == "~" ? body : line == "-" ? std::string("他走了。") : line;
        text += "\r\n";
    }
    return text;
}

// The line at each cut, in UTF-8.
std::vector<std::string> cutLines(const HeadingSearch& found, const std::string& text,
                                  const std::string& codePage) {
    std::vector<std::string> lines;
    for (const ExpressionMatch& h : found.headings) {
        const auto at = static_cast<std::size_t>(h.offset);
        const std::string line = text.substr(at, text.find("\r\n", at) - at);
        lines.push_back(*convertText(line, codePage, "UTF-8"));
    }
    return lines;
}

HeadingSearch searchIn(const std::string& text, const std::string& codePage,
                       const char* suffix = "章") {
    return searchDefaultHeadings(programText("第"), programText(suffix), text, encodingOf(codePage),
                                 HeadingRules{});
}

// A novel of lines ("~" a paragraph of text) and the lines a reader sees each chapter begin at.
struct CutCase {
    const char* name;
    std::vector<std::string> novel;
    std::vector<std::string> cuts;
};

std::vector<CutCase> readerCutCases() {
    return {
        {"a title before every heading, indentation",
         {"书名", "《书名》第一章 开端", "~", "　　第二章 风起", "~", "《书名》第三章 云涌", "~"},
         {"《书名》第一章 开端", "　　第二章 风起", "《书名》第三章 云涌"}},
        {"a structural lead allows punctuation and length",
         {"【第一章，少年】他来了，又走了，谁也不知道他要去哪里，也不知道他从哪里来。", "~",
          "第一部第二章 是谁？(1)", "~", "正文 第3章 范围和局限，内在价值", "~"},
         {"【第一章，少年】他来了，又走了，谁也不知道他要去哪里，也不知道他从哪里来。",
          "第一部第二章 是谁？(1)", "正文 第3章 范围和局限，内在价值"}},
        {"page headers repeat the heading with a glued page number",
         {"第一章 漫长的封建社会", "~", "第一章漫长的封建社会5", "~", "第一章漫长的封建社会６", "~",
          "第二章　论原始社会", "~", "第二章　论原始社会９", "~", "第三章 尾", "~"},
         {"第一章 漫长的封建社会", "第二章　论原始社会", "第三章 尾"}},
        {"a page header running on into the text",
         {"第一章 天", "~",
          "第一章 天 他沿着江边走了很久很久很久很久很久很久很久很久很久很久很久很久很久很久", "~",
          "第二章 地", "~", "第三章 人", "~"},
         {"第一章 天", "第二章 地", "第三章 人"}},
        {"a part mark stays a heading",
         {"第五章 1", "~", "第五章 2", "~", "第五章（下）", "~", "第六章", "~"},
         {"第五章 1", "第五章 2", "第五章（下）", "第六章"}},
        {"a running title, then the heading a few lines on",
         {"第一章 甲", "~", "书名--第二章 标题", "", "第二章 标题", "-", "~", "第三章 丙", "~"},
         {"第一章 甲", "书名--第二章 标题", "第三章 丙"}},
        {"references at a line start, end markers",
         {"第一章 甲", "~", "第一章中所讨论的十大原理，是这样的。", "（第一章完）", "第二章 乙",
          "~", "第二章 完", "第三章 丙", "~", "第三章终", "第四章已经说过，不再重复。", "第四章 丁",
          "~"},
         {"第一章 甲", "第二章 乙", "第三章 丙", "第四章 丁"}},
        {"a volume line goes with its first chapter",
         {"第一卷 风起", "第一章 甲", "~", "第二章 乙", "~", "第二卷 江湖远", "", "　", "第三章 丙",
          "~", "卷三", "第四章 丁", "~", "第三卷 他说：不，我不去。", "第五章 戊", "~"},
         {"第一卷 风起", "第二章 乙", "第二卷 江湖远", "卷三", "第五章 戊"}},
        {"prologue and epilogue",
         {"序", "-", "楔子", "~", "第一章 甲", "~", "第二章 乙", "~", "第三章 丙", "~", "尾声", "~",
          "番外一 回家", "~", "【番外二】", "~", "尾声渐近，他说。", "后记", "-"},
         {"楔子", "第一章 甲", "第二章 乙", "第三章 丙", "尾声", "番外一 回家", "【番外二】",
          "后记"}},
        {"references and contents lines with dot leaders and page numbers",
         {"第一章 甲", "~", "第一章提过，虽然智人早在10万年前就已出现。", "第二章说过，不再重复。",
          "第二章　论原始社会……………８…", "第三章 丙......12", "第二章 乙", "~", "第三章 丙", "~"},
         {"第一章 甲", "第二章 乙", "第三章 丙"}},
        {"a season before the volume",
         {"第一季 第一卷 七星鲁王", "第一章 甲", "~", "第二章 乙", "~", "第壹卷 风起", "第三章 丙",
          "~"},
         {"第一季 第一卷 七星鲁王", "第二章 乙", "第壹卷 风起"}},
        {"no prologue in a book of two chapters",
         {"楔子", "~", "第一章 甲", "~", "第二章 乙", "~"},
         {"第一章 甲", "第二章 乙"}},
        {"廿 and 卅",
         {"第廿一章", "~", "第卅章", "~", "第卅一章", "~"},
         {"第廿一章", "第卅章", "第卅一章"}},
    };
}

TEST(HeadingRules, EachCutFallsAtTheLineAReaderSeesAsTheChaptersStart) {
    for (const char* codePage : {"UTF-8", "GBK"}) {
        CodePageScope scope(codePage);
        for (const CutCase& c : readerCutCases()) {
            const std::string text = *convertText(novelOf(c.novel), "UTF-8", codePage);
            const HeadingSearch found = searchIn(text, codePage);
            EXPECT_EQ(cutLines(found, text, codePage), c.cuts) << c.name << " in " << codePage;
            ASSERT_EQ(found.details.size(), found.headings.size());
        }
    }
}

// One vocabulary of volume lines, which the split and the EPUB share.
TEST(HeadingRules, VolumeLines) {
    const std::pair<const char*, bool> lines[] = {
        {"第一卷 江湖远", true},
        {"　第12部\r", true},
        {"第三篇：归来", true},
        {"卷二 风雪", true},
        {"【第一卷】", true},
        {"第二十集", true},
        {"第一季 第一卷 七星鲁王", true},
        {"第壹卷 风起", true},
        {"第柒卷", true},
        {"第一卷完，下卷更精彩。", false},
        {"第一章 开始", false},
        {"卷首语", false},
        {"第一季的故事讲完了，他说。", false},
        {"", false},
    };
    for (const char* codePage : {"UTF-8", "GBK"}) {
        for (const auto& [line, volume] : lines) {
            EXPECT_EQ(isVolumeLine(*convertText(line, "UTF-8", codePage), codePage), volume)
                << line << " in " << codePage;
        }
    }
}

// Bare numbered headings: only in a book built of them, each a short line of its own.
TEST(HeadingRules, NumberedLines) {
    struct Case {
        const char* name;
        std::vector<std::string> novel;
        std::size_t lines;
    } cases[] = {
        {"Chinese numerals", {"一 青衫", "~", "二 玉璧", "~", "三 马疾", "~"}, 3},
        {"digits, a sentence among them",
         {"1 出发", "~", "2 归来，他说。", "~", "3 再见", "~", "4 终", "~"},
         3},
        {"too few", {"一 青衫", "~", "二 玉璧", "~"}, 0},
        {"too close", {"一 青衫", "-", "二 玉璧", "-", "三 马疾", "-"}, 0},
        {"no blank after the numeral", {"一青衫", "~", "二玉璧", "~", "三马疾", "~"}, 0},
    };
    for (const char* codePage : {"UTF-8", "GBK", "UTF-16LE"}) {
        for (const auto& c : cases) {
            const std::string text = *recode(novelOf(c.novel), "UTF-8", codePage);
            const std::vector<std::int64_t> found = findNumberedLines(text, encodingOf(codePage));
            EXPECT_EQ(found.size(), c.lines) << c.name << " in " << codePage;
            if (!found.empty()) {
                EXPECT_EQ(found[0], 0) << c.name << " in " << codePage;
            }
        }
    }
}

TEST(HeadingRules, TheHeadingsSayWhatTheyAre) {
    CodePageScope scope("UTF-8");
    const std::string text = novelOf(
        {"楔子", "~", "第一卷 风起", "", "第一章 甲", "~", "第二章 乙", "~", "第三章 丙", "~"});
    const HeadingSearch found = searchIn(text, "UTF-8");
    ASSERT_EQ(found.details.size(), 4u);
    EXPECT_EQ(found.details[0].kind, HeadingKind::Extra);
    EXPECT_EQ(found.details[1].kind, HeadingKind::Chapter);
    // The piece begins with the volume line; the heading stands two lines on.
    EXPECT_EQ(found.details[1].volumeLine, std::string("第一卷 风起").size());
    EXPECT_EQ(found.details[1].match.offset,
              found.headings[1].offset + found.details[1].volumeLine + 4);
    EXPECT_EQ(text.substr(static_cast<std::size_t>(found.details[1].match.offset), 9), "第一章");
    EXPECT_EQ(found.details[2].volumeLine, 0);
}

// A table of contents whose chapter entries stand up to 1,000 bytes apart, section entries
// between them; the chapters come again later.
TEST(HeadingRules, AContentsTableWithSectionEntriesStaysInThePieceBeforeIt) {
    CodePageScope scope("UTF-8");
    std::vector<std::string> lines = {"目录"};
    for (int i = 1; i <= 5; ++i) {
        lines.push_back("第" + std::to_string(i) + "章 经济学的原理");
        for (int s = 1; s <= 12; ++s)
            lines.push_back(std::to_string(i) + "." + std::to_string(s) +
                            " 什么是经济学的十大原理");
    }
    for (int i = 1; i <= 5; ++i) {
        lines.push_back("第" + std::to_string(i) + "章 经济学的原理");
        lines.push_back("~");
    }
    const std::string text = novelOf(lines);
    const HeadingSearch found = searchIn(text, "UTF-8");
    EXPECT_EQ(found.headings.size(), 5u);
    EXPECT_EQ(found.leftOutAsContents, 5);
    EXPECT_EQ(found.headings.front().offset, static_cast<std::int64_t>(text.rfind("第1章")));
}

TEST(HeadingRules, AnotherSuffixIsTakenWhenTheOneAskedForFindsTooFew) {
    CodePageScope scope("UTF-8");
    struct Case {
        const char* name;
        std::vector<std::string> novel;
        const char* asked;
        const char* used;
        std::size_t headings;
    } cases[] = {
        {"a classic novel", {"第一回 甲", "~", "第二回 乙", "~", "第三回 丙", "~"}, "章", "回", 3},
        {"stray 章 matches do not hide the 回",
         {"第一章 甲", "-", "第二章 乙", "-", "第一回 甲", "~", "第二回 乙", "~", "第三回 丙", "~"},
         "章",
         "回",
         3},
        {"章 comes first when another suffix was asked for",
         {"第一章 甲", "~", "第二章 乙", "~", "第三章 丙", "~", "第一节", "~"},
         "节",
         "章",
         3},
        {"three 章 far enough apart stay",
         {"第一章", "~", "第二章", "~", "第三章", "~", "第一回"},
         "章",
         "章",
         3},
        {"nothing finds three: what was asked for",
         {"第一章", "~", "第二章", "-", "第三回"},
         "章",
         "章",
         2},
    };
    for (const auto& c : cases) {
        const HeadingSearch found = searchIn(novelOf(c.novel), "UTF-8", c.asked);
        EXPECT_EQ(found.suffix, c.used) << c.name;
        EXPECT_EQ(found.otherSuffix, std::string(c.asked) != c.used) << c.name;
        EXPECT_EQ(found.headings.size(), c.headings) << c.name;
    }
    EXPECT_EQ(chineseText({MessageId::OtherSuffixUsed, {"章", "回", "120"}}),
              "未找到“章”章节标题，已按“回”分割：共 120 个章节标题");
}

// Six chapters of 'heading' ({n} the number, {c} in Chinese numerals, {f} in full-width
// digits), 'body' after each.
std::vector<std::string> chaptersOf(const std::string& heading, int from = 1, int count = 6,
                                    const char* body = "~") {
    static const char* const kChinese[] = {"零", "一", "二", "三", "四", "五", "六", "七", "八"};
    std::vector<std::string> lines;
    for (int n = from; n < from + count; ++n) {
        std::string line = heading;
        for (const auto& [mark, value] :
             {std::pair<std::string, std::string>{"{n}", std::to_string(n)},
              {"{c}", kChinese[n]},
              {"{f}", "\xEF\xBC" + std::string(1, static_cast<char>(0x90 + n))}}) {
            if (const std::size_t at = line.find(mark); at != std::string::npos)
                line.replace(at, mark.size(), value);
        }
        lines.push_back(line);
        lines.push_back(body);
    }
    return lines;
}

std::vector<std::string> joined(std::vector<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// When no suffix finds the chapters: 话, then 卷一, Chapter 1, numbered lines; never a list.
TEST(HeadingRules, TheOtherFormsSplitOnlyABookTheyNumber) {
    CodePageScope scope("UTF-8");
    const HeadingForm S = HeadingForm::Suffix, W = HeadingForm::WordFirst, E = HeadingForm::English,
                      N = HeadingForm::NumberedLine;
    struct Case {
        const char* name;
        std::vector<std::string> novel;
        HeadingForm form;
        const char* mark;  // the form's mark, or the suffix used
        std::size_t headings;
        const char* first;  // the line of the first cut
    } cases[] = {
        {"一、", chaptersOf("{c}、青衫"), N, "一、", 6, "一、青衫"},
        {"（一）", chaptersOf("（{c}）青衫"), N, "（一）", 6, "（一）青衫"},
        {"一 and a blank", chaptersOf("{c} 青衫"), N, "一", 6, "一 青衫"},
        {"1. ", chaptersOf("{n}. 归来"), N, "1.", 6, "1. 归来"},
        {"1、", chaptersOf("{n}、归来"), N, "1、", 6, "1、归来"},
        {"１．", chaptersOf("{f}．归来"), N, "１．", 6, "１．归来"},
        {"a number alone", chaptersOf("{n}"), N, "1", 6, "1"},
        {"1. alone", chaptersOf("{n}."), N, "1.", 6, "1."},
        {"第N话", chaptersOf("第{c}话 相遇"), S, "话", 6, "第一话 相遇"},
        {"卷一", chaptersOf("卷{c} 江湖"), W, "卷一", 6, "卷一 江湖"},
        {"章 1", chaptersOf("章 {n}"), W, "章 1", 6, "章 1"},
        {"Chapter 1", chaptersOf("Chapter {n}: Home"), E, "Chapter 1", 6, "Chapter 1: Home"},
        {"CHAPTER ONE",
         {"CHAPTER ONE", "~", "CHAPTER TWO", "~", "CHAPTER THREE", "~", "CHAPTER FOUR", "~",
          "CHAPTER FIVE", "~", "CHAPTER SIX", "~"},
         E,
         "CHAPTER ONE",
         6,
         "CHAPTER ONE"},
        {"Chapter IV",
         {"Chapter III", "~", "Chapter IV", "~", "Chapter V", "~", "Chapter VI", "~", "Chapter VII",
          "~", "Chapter VIII", "~"},
         E,
         "Chapter III",
         6,
         "Chapter III"},
        {"back to 1 after a volume line",
         joined({{"第一卷 风起"},
                 chaptersOf("{c}、甲", 1, 3),
                 {"第二卷 云涌"},
                 chaptersOf("{c}、乙", 1, 3)}),
         N, "一、", 6, "第一卷 风起"},
        {"卷一 volumes of 一、 chapters: the chapters",
         joined({{"卷一 风起"},
                 chaptersOf("{c}、甲", 1, 2),
                 {"卷二 云涌"},
                 chaptersOf("{c}、乙", 1, 2),
                 {"卷三 雨落"},
                 chaptersOf("{c}、丙", 1, 2)}),
         N, "一、", 6, "卷一 风起"},
        {"a contents table of 一、 lines stays before the chapters",
         joined({{"目录"}, chaptersOf("{c}、目", 1, 6, ""), chaptersOf("{c}、青衫")}), N, "一、", 6,
         "一、青衫"},
        {"the chapters' 一、, not their sections' 1.",
         joined({{"一、甲", "~", "1. 子", "~", "2. 子", "~", "二、乙", "~", "3. 子", "~", "4. 子",
                  "~", "三、丙", "~", "5. 子", "~", "6. 子", "~"}}),
         N, "一、", 3, "一、甲"},
        {"一、 sections inside 第N章 chapters",
         joined({{"第一章 甲"},
                 chaptersOf("{c}、节", 1, 2),
                 {"第二章 乙"},
                 chaptersOf("{c}、节", 1, 2),
                 {"第三章 丙"},
                 chaptersOf("{c}、节", 1, 2)}),
         S, "章", 3, "第一章 甲"},
        {"an essay's list: too close", chaptersOf("{n}. 首先", 1, 6, "-"), S, "章", 0, ""},
        {"an essay's list: no sequence",
         {"3. 甲", "~", "1. 乙", "~", "7. 丙", "~", "2. 丁", "~", "9. 戊", "~"},
         S,
         "章",
         0,
         ""},
        {"an essay's list: sentences", chaptersOf("{n}. 首先，我们要想清楚。"), S, "章", 0, ""},
    };
    for (const char* codePage : {"UTF-8", "GBK", "UTF-16LE"}) {
        for (const auto& c : cases) {
            const std::string text = *recode(novelOf(c.novel), "UTF-8", codePage);
            const HeadingSearch found = searchIn(text, codePage);
            const std::string where = std::string(c.name) + " in " + codePage;
            EXPECT_EQ(found.form, c.form) << where;
            EXPECT_EQ(found.form == S ? found.suffix : found.formMark, c.mark) << where;
            EXPECT_EQ(found.otherSuffix, c.form == S && std::string(c.mark) != "章") << where;
            ASSERT_EQ(found.headings.size(), c.headings) << where;
            if (c.headings == 0) continue;
            const std::string rest = *recode(
                text.substr(static_cast<std::size_t>(found.headings[0].offset)), codePage, "UTF-8");
            EXPECT_EQ(rest.substr(0, rest.find("\r\n")), c.first) << where;
        }
    }
    EXPECT_EQ(chineseText({MessageId::NumberedLinesUsed, {"章", "一、", "24"}}),
              "未找到“章”章节标题，已按编号行（“一、”）分割：共 24 个章节标题");
}

TEST(HeadingRules, NumbersInChineseAndInEnglish) {
    const std::pair<std::vector<int>, std::int64_t> chinese[] = {
        {{1}, 1},
        {{10}, 10},
        {{10, 2}, 12},
        {{2, 10}, 20},
        {{2, 10, 3}, 23},
        {{1, 100, 0, 5}, 105},
        {{20, 3}, 23},
        {{1, 2, 0}, 120},
        {{1, 10000, 2, 1000}, 12000},
        {std::vector<int>(12, 10000), 1'000'000'000'000},  // as large as any, no overflow
    };
    for (const auto& [values, value] : chinese) EXPECT_EQ(chineseNumberValue(values), value);
    const std::pair<const char*, std::int64_t> english[] = {
        {"12", 12},
        {"ONE", 1},
        {"Twenty-Three", 23},
        {"thirty", 30},
        {"IV", 4},
        {"xii", 12},
        {"XC", 90},
        {"MCMXC", 1990},
        {"home", -1},
        {"twenty-", -1},
        {"12345678901234567890", -1},
    };
    for (const auto& [word, value] : english) EXPECT_EQ(englishNumberValue(word), value) << word;
}

// In GBK 淺 ends in 5C "\", 億 in 7C "|", 嘯 in 5B "[", 區 in 5E "^": such a second byte stays
// part of its character in the prefix and the suffix, whatever code page the program works in.
TEST(HeadingRules, AGbkSuffixEndingInASyntaxByteIsOneCharacter) {
    for (const char* programPage : {"GBK", "UTF-8"}) {
        CodePageScope scope(programPage);
        for (const char* suffix : {"淺", "億", "嘯", "區"}) {
            const std::string utf8 =
                std::string("序\r\n第一") + suffix + " 甲\r\n天\r\n第二" + suffix + " 乙\r\n地\r\n";
            const std::string text = testing::gbk(utf8);
            FakeFileService fs;
            SourceDocument document;
            document.replace(text);
            testing::FixedSettings settings;
            settings.suf = programText(suffix);
            testing::ShownBoxes boxes;
            const SplitOutcome outcome = runSplit(document, settings, fs, boxes, PathStyle::Posix);
            EXPECT_EQ(outcome.status, SplitOutcome::Status::Done) << suffix << " " << programPage;
            EXPECT_EQ(outcome.headings, 2) << suffix << " " << programPage;
            ASSERT_EQ(fs.files.size(), 3u);
            EXPECT_EQ(fs.files["out/novel_1.txt"] + fs.files["out/novel_2.txt"] +
                          fs.files["out/novel_3.txt"],
                      text);
        }
    }
}

}  // namespace
}  // namespace folioknife::splitter
