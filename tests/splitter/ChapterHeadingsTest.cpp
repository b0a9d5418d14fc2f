#include <gtest/gtest.h>

#include "TestText.h"
#include "fakes/FakeFileService.h"
#include "fakes/FakeMessageBoxes.h"
#include "fakes/FakeSplitSettings.h"
#include "splitter/ChapterExpression.h"
#include "splitter/ChapterHeadings.h"
#include "splitter/Messages.h"
#include "splitter/Recode.h"
#include "splitter/SplitFlow.h"
#include "splitter/Unicode.h"

namespace folioknife::splitter {
namespace {
using testing::CodePageScope;
using testing::FakeFileService;
using testing::FixedSettings;
using testing::hex;
using testing::ShownBoxes;

// A novel in UTF-8 carried to 'codePage'; UTF-16 gets its byte-order mark.
std::string inEncoding(const std::string& utf8, const std::string& codePage) {
    const auto converted = recode(utf8, "UTF-8", codePage);
    if (!converted) throw std::runtime_error("not representable in " + codePage);
    return std::string(byteOrderMarkOf(characterSetOf(codePage))) + *converted;
}

const char* const kEncodings[] = {"UTF-8", "GBK", "UTF-16LE", "UTF-16BE"};

HeadingSearch searchDefault(const std::string& text, HeadingRules rules = HeadingRules{},
                            const std::string& suffix = "章") {
    const DocumentEncoding encoding = detectDocumentEncoding(text, programCodePage());
    return searchDefaultHeadings(programText("第"), programText(suffix), text, encoding, rules);
}

// One line between two others: is what the default expression finds in it a heading?
TEST(HeadingRules, AHeadingBeginsItsLineOrStandsOnAShortLineWithoutASentence) {
    CodePageScope scope("GBK");
    const std::string lead20 = "一二三四五六七八九十一二三四五六七八九十";
    struct Case {
        const char* line;
        std::string text;
        int headings;
    } cases[] = {
        {"plain", "第一章 开端", 1},
        {"ideographic indent", "　　第一章 开端", 1},
        {"blank indent", " \t第1章", 1},
        {"full-width digits and blanks", "第 １２ 章", 1},
        {"ideographic spaces inside", "第　二　章", 1},
        {"两 and 万", "第一万零两章", 1},
        {"book title before", "《书名》第一章", 1},
        {"brackets around", "【第一章】", 1},
        {"volume before", "第一卷 第一章 风起", 1},
        {"glued text after a line start", "第一章" + std::string(300, 'x') + "，。", 1},
        {"lead of 20 characters", lead20 + "第一章", 1},
        {"lead of 21 characters", lead20 + "零第一章", 0},
        {"line of 41 characters", "《书》第一章" + lead20 + "一二三四五六七八九十一二三四五", 0},
        {"reference in a sentence", "正如第一章所说，他没有回头。", 0},
        {"reference after an ellipsis", "……六万言的第一章所作的节译", 0},
        {"ASCII punctuation", "see, 第一章", 0},
        {"no numeral between", "第七、八章", 0},
        {"a character that shares numeral bytes", "第中章第末章", 0},
        {"the bar is no numeral", "第|章", 0},
        {"five blanks", "第     1章", 0},
    };
    for (const char* codePage : kEncodings) {
        for (const auto& c : cases) {
            const std::string text = inEncoding("序\r\n" + c.text + "\r\n尾\r\n", codePage);
            const HeadingSearch found = searchDefault(text);
            EXPECT_EQ(found.headings.size(), static_cast<std::size_t>(c.headings))
                << c.line << " in " << codePage;
            HeadingRules anywhere;
            anywhere.lineRule = anywhere.contentsRule = false;
            if (c.headings == 0 && searchDefault(text, anywhere).headings.size() == 1) {
                EXPECT_EQ(found.leftOutInText, 1) << c.line << " in " << codePage;
            }
        }
    }
}

// A novel with a table of contents of 'entries' lines, then 'chapters' chapters.
std::string novelWithContents(int entries, int chapters, const std::string& body) {
    std::string text = "目录\r\n";
    for (int i = 1; i <= entries; ++i) text += "第" + std::to_string(i) + "章 题\r\n";
    for (int i = 1; i <= chapters; ++i) text += "第" + std::to_string(i) + "章 题\r\n" + body;
    return text;
}

TEST(HeadingRules, FourOrMoreCloseHeadingsNamedAgainLaterAreAContentsTable) {
    CodePageScope scope("UTF-8");
    const std::string body(300, 'x');
    struct Case {
        const char* name;
        std::string text;
        std::size_t headings;
        std::int64_t contents;
    } cases[] = {
        {"five entries", novelWithContents(5, 5, body + "\r\n"), 5, 5},
        {"three entries are too few", novelWithContents(3, 5, body + "\r\n"), 8, 0},
        {"entries named nowhere later", novelWithContents(5, 0, "") + "第9章\r\n", 6, 0},
        {"short chapters, each once", novelWithContents(0, 6, "短\r\n"), 6, 0},
        {"numbering begins again, far apart",
         novelWithContents(0, 5, body + "。\r\n") + novelWithContents(0, 5, body + "。\r\n"), 10,
         0},
    };
    for (const auto& c : cases) {
        const HeadingSearch found = searchDefault(c.text);
        EXPECT_EQ(found.headings.size(), c.headings) << c.name;
        EXPECT_EQ(found.leftOutAsContents, c.contents) << c.name;
    }
    // Without the rule every entry counts.
    HeadingRules plain;
    plain.contentsRule = false;
    EXPECT_EQ(searchDefault(novelWithContents(5, 5, body + "\r\n"), plain).headings.size(), 10u);
}

TEST(HeadingRules, UnknownSuffixesAreSuggestedOnlyWhenTheyFindThree) {
    CodePageScope scope("UTF-8");
    const std::string text = "序\n第一回 甲\n第二回 乙\n第三回 丙\n第一节\n第二节\n";
    const auto best = suggestSuffix("第", text, encodingOf("UTF-8"), HeadingRules{});
    ASSERT_TRUE(best);
    EXPECT_EQ(best->first, "回");
    EXPECT_EQ(best->second, 3);
    EXPECT_FALSE(suggestSuffix("第", "第一回\n第二回\n", encodingOf("UTF-8"), HeadingRules{}));
    EXPECT_EQ(chineseText({MessageId::SuffixWouldFind, {"回", "120"}}),
              "未找到章节标题：全文写入了一个文件。后缀改为“回”可找到 120 个章节标题");
}

TEST(Utf16, CharacterBoundariesKeepSurrogatePairsWhole) {
    // U+20000 is D840 DC00: 40 D8 00 DC in little endian.
    const std::string le = std::string("\xFF\xFE", 2) + std::string("\x40\xD8\x00\xDC\x41\x00", 6);
    const std::vector<bool> expected = {true, false, true, false, false, false, true, false, true};
    for (std::size_t i = 0; i <= le.size(); ++i) {
        EXPECT_EQ(isCharacterBoundary(le, i, CharacterSet::Utf16Le), expected[i]) << i;
    }
    EXPECT_EQ(utf16ToUtf8(le, false),
              "\xEF\xBB\xBF\xF0\xA0\x80\x80"
              "A");
    EXPECT_EQ(utf16OffsetsOf(le, false, {0, 3, 7, 8}), (std::vector<std::int64_t>{0, 2, 6, 8}));
    // A lone surrogate and an odd last byte are one replacement character each.
    EXPECT_EQ(utf16ToUtf8(std::string("\x00\xD8\x41", 3), false), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

// A novel of our own in every encoding: in-sentence references, a contents table, prefixed
// headings, blanks, full-width and 两/万 numerals, a character outside the basic plane.
TEST(Headings, ANovelSplitsAtItsRealHeadingsInEveryEncoding) {
    const std::string novel =
        "《测试》\r\n目录\r\n第一章 起\r\n第二章 承\r\n第三章 转\r\n第四章 合\r\n"
        "正文前说明：见第一章，又见第二章。\r\n"
        "第一章 起\r\n@天地人，正如第三章所说。\r\n"
        "【第二章】 承\r\n山水，他的第一章写得好。\r\n"
        "《测试》第三章 转\r\n花草\r\n"
        "第一卷 第四章 合\r\n云雨\r\n"
        "第 １２ 章\r\n夜\r\n第　两万　章 尾\r\n梦";
    const std::vector<std::string> headings = {"第一章", "第二章",     "第三章",
                                               "第四章", "第 １２ 章", "第　两万　章"};
    for (const char* codePage : {"UTF-8", "GBK", "UTF-16LE", "UTF-16BE"}) {
        SCOPED_TRACE(codePage);
        const bool gbk = std::string(codePage) == "GBK";
        CodePageScope scope(gbk ? "GBK" : "UTF-8");
        // A character outside the basic plane (a surrogate pair in UTF-16) where it can be.
        std::string withRare = novel;
        withRare.replace(withRare.find('@'), 1, gbk ? "天" : "𠀀");
        const std::string text = inEncoding(withRare, codePage);
        const DocumentEncoding encoding = detectDocumentEncoding(text, programCodePage());
        const HeadingSearch found = searchDefault(text);
        ASSERT_EQ(found.headings.size(), headings.size());
        EXPECT_EQ(found.leftOutAsContents, 4);
        const std::size_t unit = isUtf16(encoding.characters) ? 2 : 1;
        for (std::size_t i = 0; i < headings.size(); ++i) {
            const ExpressionMatch& m = found.details[i].match;
            const std::string got =
                text.substr(static_cast<std::size_t>(m.offset), static_cast<std::size_t>(m.length));
            EXPECT_EQ(got, inEncoding(headings[i], codePage)
                               .substr(byteOrderMarkOf(encoding.characters).size()));
            // The cut falls at the start of the heading's line, lead and all.
            const auto cut = static_cast<std::size_t>(found.headings[i].offset);
            EXPECT_EQ(text.substr(cut - unit, unit),
                      inEncoding("\n", codePage).substr(2 * unit - 2))
                << i;
        }

        FakeFileService fs;
        SourceDocument document;
        document.replace(text);
        FixedSettings settings;
        settings.perFile = "2";
        ShownBoxes boxes;
        EXPECT_EQ(runSplit(document, settings, fs, boxes, PathStyle::Posix).status,
                  SplitOutcome::Status::Done);
        ASSERT_EQ(fs.files.size(), 4u);  // 7 pieces, 2 a file
        const std::string mark(byteOrderMarkOf(encoding.characters));
        std::string joined;
        for (int k = 1; k <= 4; ++k) {
            const std::string& volume = fs.files.at("out/novel_" + std::to_string(k) + ".txt");
            ASSERT_EQ(volume.substr(0, mark.size()), mark) << k;
            joined += k == 1 ? volume : volume.substr(mark.size());
        }
        EXPECT_EQ(hex(joined), hex(text));
    }
}

}  // namespace
}  // namespace folioknife::splitter
