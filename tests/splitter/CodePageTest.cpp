#include <gtest/gtest.h>

#include <utility>

#include "TestText.h"
#include "splitter/ChapterExpression.h"
#include "splitter/CodePage.h"

namespace folioknife::splitter {
namespace {
using testing::CodePageScope;
using testing::gbk;
using testing::hex;

TEST(CodePage, ProgramTextsAppearInTheProgramsCodePage) {
    {
        CodePageScope scope("GBK");
        EXPECT_EQ(hex(programText("分割成功！")), "B7 D6 B8 EE B3 C9 B9 A6 A3 A1");
    }
    {
        CodePageScope scope("UTF-8");
        EXPECT_EQ(programText("分割成功！"), "分割成功！");
    }
}

TEST(CodePage, NamesOfTheSameCodePageCompareEqual) {
    EXPECT_TRUE(sameCodePage("gbk", "CP936"));
    EXPECT_TRUE(sameCodePage("utf8", "UTF-8"));
    EXPECT_FALSE(sameCodePage("GBK", "UTF-8"));
}

TEST(CodePage, DisplayConversionNeverFailsAndMarksBadBytes) {
    EXPECT_EQ(convertForDisplay(gbk("第") + "\xFF" + "x", "GBK", "UTF-8"), "第?x");
    EXPECT_FALSE(convertText("\xFF", "GBK", "UTF-8").has_value());
}

TEST(CodePage, KnowsTheCodePagesByTheirUsualNames) {
    const char* known[] = {"GBK",   "gbk",  "CP936", "GB2312", "EUC-CN", "GB18030",
                           "UTF-8", "utf8", "BIG5",  "UHC",    "CP1252"};
    for (const char* name : known) {
        EXPECT_EQ(convertText("", name, "UTF-8"), std::string()) << name;
        EXPECT_EQ(convertText("", "UTF-8", name), std::string()) << name;
    }
    for (const char* name : {"KLINGON", "CP99999"}) {
        EXPECT_FALSE(convertText("", name, "UTF-8").has_value()) << name;
        EXPECT_FALSE(convertText("", "UTF-8", name).has_value()) << name;
    }
    // The name the system's code page goes by is one the conversions understand.
    EXPECT_TRUE(convertText("", systemCodePage(), "UTF-8").has_value()) << systemCodePage();
}

TEST(CodePage, ConvertsExactlyOrNotAtAll) {
    using std::nullopt;
    struct Case {
        std::string text, from, to;
        std::optional<std::string> expected;
    } cases[] = {
        {"第十二章", "UTF-8", "GBK", std::string("\xB5\xDA\xCA\xAE\xB6\xFE\xD5\xC2")},
        {"\xB5\xDA\xD5\xC2", "CP936", "UTF-8", std::string("第章")},
        {"中", "UTF-8", "BIG5", std::string("\xA4\xA4")},
        {"é", "UTF-8", "CP1252", std::string("\xE9")},
        {std::string("a\0b", 3), "UTF-8", "GBK", std::string("a\0b", 3)},  // NUL is a character
        {"ā", "UTF-8", "CP1252", nullopt},  // no look-alike "a" in its place
        {"中", "UTF-8", "CP1252", nullopt},
        {"\xC3", "UTF-8", "GBK", nullopt},  // a character cut short
        {"\xB5", "GBK", "UTF-8", nullopt},  // a lead byte without its trail byte
        {"x", "UTF-8", "KLINGON", nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(convertText(c.text, c.from, c.to), c.expected) << hex(c.text) << " " << c.to;
    }
}

TEST(CodePage, Gb18030IsConvertedExactlyOrNotAtAll) {
    // Its GBK part converts everywhere. Systems without the whole of GB18030 (Wine 8) may
    // refuse the rest, but must never give other bytes for it.
    EXPECT_EQ(convertText("第十二章", "UTF-8", "GB18030"), gbk("第十二章"));
    EXPECT_EQ(convertText(gbk("第十二章"), "GB18030", "UTF-8"), std::string("第十二章"));
    EXPECT_FALSE(convertText("\x80", "GB18030", "UTF-8").has_value());  // the euro only in CP936
    struct Case {
        std::string text, from, to, expected;
    } beyondGbk[] = {
        {"\x81\x30\x81\x30", "GB18030", "UTF-8", "\xC2\x80"},
        {"\xC2\x80", "UTF-8", "GB18030", "\x81\x30\x81\x30"},
        {"€", "UTF-8", "GB18030", "\xA2\xE3"},
        {"\xA2\xE3", "GB18030", "UTF-8", "€"},
    };
    for (const auto& c : beyondGbk) {
        const auto converted = convertText(c.text, c.from, c.to);
        if (converted) {
            EXPECT_EQ(*converted, c.expected) << hex(c.text);
        }
    }
}

TEST(CodePage, DisplayConversionMarksACharacterCutShortAtTheEnd) {
    EXPECT_EQ(convertForDisplay(gbk("第") + "\xB5", "GBK", "UTF-8"), "第?");
    EXPECT_EQ(convertForDisplay("ok", "GBK", "UTF-8"), "ok");
}

TEST(CodePage, WindowsKeepsAChineseCodePageAndTakesUtf8ForAnyOther) {
    // system's ANSI code page | the program's
    const std::pair<const char*, const char*> cases[] = {
        {"GBK", "GBK"},      {"GB18030", "GB18030"}, {"CP950", "CP950"}, {"UTF-8", "UTF-8"},
        {"CP1252", "UTF-8"}, {"CP1251", "UTF-8"},    {"CP932", "UTF-8"}, {"CP949", "UTF-8"},
    };
    for (const auto& [system, program] : cases)
        EXPECT_EQ(programCodePageOnWindows(system), program) << system;
}

}  // namespace
}  // namespace folioknife::splitter
