#include <gtest/gtest.h>

#include "TestText.h"
#include "fakes/FakeFileService.h"
#include "fakes/FakeMessageBoxes.h"
#include "fakes/FakeSplitSettings.h"
#include "splitter/ChapterHeadings.h"
#include "splitter/DocumentEncoding.h"
#include "splitter/Recode.h"
#include "splitter/SplitFlow.h"

namespace folioknife::splitter {
namespace {
using testing::CodePageScope;
using testing::FakeFileService;
using testing::gbk;

TEST(DetectDocumentEncoding, UsesUtf8OnlyForValidMultiByteUtf8) {
    const std::string chinese = "第一章 天地\r\n";
    struct Case {
        const char* name;
        std::string text, programCodePage, expected;
    } cases[] = {
        {"UTF-8 under GBK", chinese, "GBK", "UTF-8"},
        {"UTF-8 under UTF-8", chinese, "UTF-8", "UTF-8"},
        {"byte-order mark and ASCII",
         "\xEF\xBB\xBF"
         "Chapter 1",
         "GBK", "UTF-8"},
        {"GBK under UTF-8", gbk(chinese), "UTF-8", "GB18030"},
        {"GBK under GBK", gbk(chinese), "GBK", "GBK"},
        {"pure ASCII under GBK", "Chapter 1\r\n", "GBK", "GBK"},
        {"pure ASCII under UTF-8", "Chapter 1\r\n", "UTF-8", "UTF-8"},
        {"valid in neither, under UTF-8", "\x80\xFE\xFF", "UTF-8", "GB18030"},
        {"valid in neither, under GBK", "\x80\xFE\xFF", "GBK", "GBK"},
        {"UTF-8 cut off inside a character", chinese + "\xE5\xA4", "GBK", "UTF-8"},
        {"empty", "", "GBK", "GBK"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(detectDocumentEncoding(c.text, c.programCodePage).codePage, c.expected) << c.name;
    }
}

TEST(IsValidUtf8, RefusesOverlongSurrogateAndOutOfRangeForms) {
    struct Case {
        std::string bytes;
        bool valid;
    } cases[] = {
        {"plain ASCII, more than eight bytes long", true},
        {"\xF0\x9F\x98\x80", true},
        {"\xE4\xB8\x80", true},
        {"\xC0\x80", false},
        {"\xE0\x80\x80", false},
        {"\xED\xA0\x80", false},
        {"\xF4\x90\x80\x80", false},
        {"\xF5\x80\x80\x80", false},
        {"\x80", false},
        {"\xE4\xB8", false},
        {"\xE4\x41\x80", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isValidUtf8(c.bytes), c.valid) << testing::hex(c.bytes);
}

TEST(CharacterBoundary, KnowsWhereGbkAndUtf8CharactersBeginAndEnd) {
    const std::string di = gbk("第十");  // B5 DA CA AE
    const std::string lowTrail =
        "\xB1\x40"
        "A";                         // a character whose second byte is '@', then A
    const std::string utf8 = "一a";  // E4 B8 80 61
    struct Case {
        std::string text;
        CharacterSet set;
        std::vector<bool> boundaries;  // at 0 .. size
    } cases[] = {
        {di, CharacterSet::DoubleByte, {true, false, true, false, true}},
        {lowTrail, CharacterSet::DoubleByte, {true, false, true, true}},
        {"\n" + di, CharacterSet::DoubleByte, {true, true, false, true, false, true}},
        {utf8, CharacterSet::Utf8, {true, false, false, true, true}},
        {di, CharacterSet::SingleByte, {true, true, true, true, true}},
    };
    for (const auto& c : cases) {
        for (std::size_t i = 0; i <= c.text.size(); ++i) {
            EXPECT_EQ(isCharacterBoundary(c.text, i, c.set), c.boundaries[i])
                << testing::hex(c.text) << " at " << i;
        }
    }
    EXPECT_EQ(nextCharacterBoundary(di, 0, CharacterSet::DoubleByte), 2u);
    EXPECT_EQ(nextCharacterBoundary(di, 1, CharacterSet::DoubleByte), 2u);
    EXPECT_EQ(nextCharacterBoundary(utf8, 0, CharacterSet::Utf8), 3u);
}

TEST(DocumentEncodingDamage, RareDamageLeavesAUtf8NovelUtf8) {
    const std::string para = "天地玄黄，宇宙洪荒。日月盈昃，辰宿列张。\r\n";  // 62 bytes
    std::string big;
    while (big.size() < 25000) big += para;
    struct Case {
        const char* name;
        std::string text;
        const char* expected;
    } cases[] = {
        {"one damaged byte in 25,000", big.substr(0, 9000) + "\xFF" + big.substr(9000), "UTF-8"},
        {"two in 25,000", "\x80" + big + "\xC3\x28", "UTF-8"},
        {"three in 25,000",
         "\x80"
         "a\x80" +
             big + "\x80",
         "GBK"},
        {"a run of bad bytes is one damage", big + "\x80\xFF\xC3", "UTF-8"},
        {"one in a short text", "\x80" + para, "GBK"},
        {"GBK in English, one character like UTF-8",
         std::string(30000, 'a') + "\xC4\xB3" + "\xD6\xD0", "GBK"},
        {"cut off at the very end", para + "\xE5\xA4", "UTF-8"},
        {"BOM of UTF-16LE", "\xFF\xFE" + para, "UTF-16LE"},
        {"BOM of UTF-16BE", "\xFE\xFF" + para, "UTF-16BE"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(detectDocumentEncoding(c.text, "GBK").codePage, c.expected) << c.name;
    }
}

TEST(DetectDocumentEncoding, TellsUtf16WithoutByteOrderMarkByItsZeroBytes) {
    const auto utf16 = [](const std::string& utf8, const char* to) {
        return *recode(utf8, "UTF-8", to);
    };
    const std::string chinese = "　　第一章 天地\r\n　　他说：“好。”\r\n第二章 风云\r\n";
    const std::string english = "Chapter 1\nIt was a dark night.\n";
    struct Case {
        const char* name;
        std::string text;
        const char* expected;
    } cases[] = {
        {"Chinese, LE", utf16(chinese, "UTF-16LE"), "UTF-16LE"},
        {"Chinese, BE", utf16(chinese, "UTF-16BE"), "UTF-16BE"},
        {"English, LE", utf16(english, "UTF-16LE"), "UTF-16LE"},
        {"English, BE", utf16(english, "UTF-16BE"), "UTF-16BE"},
        {"one line of English, LE", utf16("Chapter one", "UTF-16LE"), "UTF-16LE"},
        {"LE with NUL padding", utf16(chinese, "UTF-16LE") + std::string(64, '\0'), "UTF-16LE"},
        {"GBK with NUL padding", gbk(chinese) + std::string(64, '\0'), "GBK"},
        {"GBK with a NUL inside", gbk(chinese) + '\0' + gbk(chinese), "GBK"},
        {"ASCII with NULs inside", english + '\0' + english + '\0', "GBK"},
        {"UTF-8 with a NUL", chinese + '\0' + chinese, "UTF-8"},
        {"lone surrogate",
         utf16(chinese, "UTF-16LE") + std::string("\x00\xDC", 2) + utf16(chinese, "UTF-16LE"),
         "GBK"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(detectDocumentEncoding(c.text, "GBK").codePage, c.expected) << c.name;
    }
}

// The headings of 第…章, the prefix and suffix given in the program's code page.
std::vector<ExpressionMatch> headingsOf(std::string_view text, const DocumentEncoding& encoding) {
    return searchDefaultHeadings(programText("第"), programText("章"), text, encoding,
                                 HeadingRules{})
        .headings;
}

TEST(Headings, NeverBeginInsideAGbkCharacter) {
    CodePageScope scope("GBK");
    // 说 ends in B5 and 谑 begins with DA: together they hold the bytes of 第; the CA that
    // follows is a numeral byte and 章 comes next. Only the real heading after it counts.
    const std::string text = gbk("说谑章\r\n第二章 x");
    const auto encoding = detectDocumentEncoding(text, programCodePage());
    ASSERT_EQ(encoding.characters, CharacterSet::DoubleByte);
    const auto matches = headingsOf(text, encoding);
    ASSERT_EQ(matches.size(), 1u);
    EXPECT_EQ(matches[0].offset, 8);
    // Without character boundaries the straddling bytes would be taken for a heading.
    ExpressionMatcher bytesOnly;
    ASSERT_TRUE(bytesOnly.compile(gbk("第")).ok);
    EXPECT_EQ(bytesOnly.searchAll(text).matches.front().offset, 1);
}

TEST(Headings, NeverEndInsideAUtf8Character) {
    CodePageScope scope("UTF-8");
    const std::string text = "一x一";  // E4 B8 80 78 E4 B8 80
    ExpressionMatcher m;
    ASSERT_TRUE(m.compile("x\\xE4|\\xB8\\x80").ok);
    EXPECT_TRUE(m.searchAll(text, CharacterSet::Utf8).matches.empty());
    EXPECT_EQ(m.searchAll(text, CharacterSet::SingleByte).matches.size(), 3u);
}

TEST(Headings, TheGbkNumeralClassConvertedToUtf8StillFindsLongNumerals) {
    CodePageScope scope("GBK");
    const std::string text = "序\n第一百二十三章 天\n第9章\n";
    const auto matches = headingsOf(text, encodingOf("UTF-8"));
    ASSERT_EQ(matches.size(), 2u);
    EXPECT_EQ(matches[0].offset, 4);
    EXPECT_EQ(matches[0].length, 21);  // seven characters of three bytes
}

// The same novel, split under either code page, gives the same files byte for byte.
TEST(Headings, ANovelSplitsAlikeUnderEitherCodePage) {
    const std::string utf8Novel = "序言\r\n第一章 天\r\n第2章 地\r\n第十二章 人\r\n";
    for (const std::string& novel : {utf8Novel, gbk(utf8Novel)}) {
        std::map<std::string, std::string> outputs[2];
        int i = 0;
        for (const char* codePage : {"GBK", "UTF-8"}) {
            CodePageScope scope(codePage);
            FakeFileService fs;
            SourceDocument document;
            document.replace(novel);
            testing::FixedSettings settings;
            testing::ShownBoxes quiet;
            static_cast<void>(runSplit(document, settings, fs, quiet, PathStyle::Posix));
            outputs[i++] = fs.files;
        }
        EXPECT_EQ(outputs[0].size(), 4u) << testing::hex(novel.substr(0, 4));
        EXPECT_EQ(outputs[0], outputs[1]) << testing::hex(novel.substr(0, 4));
    }
}

}  // namespace
}  // namespace folioknife::splitter
