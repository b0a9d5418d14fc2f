#include <gtest/gtest.h>

#include "TestText.h"
#include "splitter/ChapterExpression.h"
#include "splitter/ChapterHeadings.h"

namespace folioknife::splitter {
namespace {
using testing::CodePageScope;
using testing::gbk;
using testing::hex;

struct FixedSettings : SplitSettings {
    bool custom = false;
    Text expression, pre, suf;
    std::vector<std::string> reads;
    bool customMode() override { return reads.push_back("mode"), custom; }
    Text expressionText() override { return reads.push_back("expression"), expression; }
    Text prefix() override { return reads.push_back("prefix"), pre; }
    Text suffix() override { return reads.push_back("suffix"), suf; }
    Text chaptersPerFileText() override { return "10"; }
    Text outputDirectory() override { return "out"; }
    bool deleteSource() override { return false; }
    Text sourcePath() override { return ""; }
};

TEST(BuildChapterExpression, DefaultModeGivesTheExactGbkBytes) {
    CodePageScope scope("GBK");
    FixedSettings s;
    s.pre = gbk("第");
    s.suf = gbk("章");
    const std::string blanks = "([ \\t]|　){0,4}";
    const Text expected = gbk("(第)" + blanks +
                              "(([0-9]|０|１|２|３|４|５|６|７|８|９|零|〇|一|二|两|三|四|五|六|七|"
                              "八|九|十|廿|卅|百|千|万|"
                              "壹|贰|叁|肆|伍|陆|柒|捌|玖|拾|佰|仟)+)" +
                              blanks + "(章)");
    const ChapterExpression e = buildChapterExpression(s);
    ASSERT_TRUE(e.defaultMode);
    EXPECT_EQ(hex(defaultExpressionFor(e.prefix, e.suffix, encodingOf("GBK"))), hex(expected));
}

TEST(BuildChapterExpression, PrefixAndSuffixGoInRawAndMayBeEmpty) {
    CodePageScope scope("UTF-8");
    FixedSettings s;
    s.pre = "(";
    s.suf = "";
    const ChapterExpression chosen = buildChapterExpression(s);
    const Text e = defaultExpressionFor(chosen.prefix, chosen.suffix, encodingOf("UTF-8"));
    EXPECT_EQ(e.substr(0, 4), "(()(");
    EXPECT_EQ(e.substr(e.size() - 7), "{0,4}()");
}

TEST(BuildChapterExpression, ANumeralTheCodePageLacksIsLeftOutAndTheRestStay) {
    const auto one = convertText("一", "UTF-8", "BIG5");
    if (!one || convertText("两", "UTF-8", "BIG5")) GTEST_SKIP() << "no Big5 without 两 here";
    CodePageScope scope("BIG5");
    const Text group = numeralGroup();
    EXPECT_EQ(group.find("两"), Text::npos);  // not its UTF-8 bytes either
    EXPECT_NE(group.find(*one), Text::npos);
    EXPECT_EQ(group.substr(0, 7), "([0-9]|");
}

TEST(BuildChapterExpression, CustomModeTakesTheTextAsTypedAndNeverReadsTheDefaultOnes) {
    FixedSettings s;
    s.custom = true;
    s.expression = "  ^Chapter \\d+ ";
    s.pre = "ignored";
    ChapterExpression e = buildChapterExpression(s);
    EXPECT_FALSE(e.defaultMode);
    EXPECT_EQ(e.custom, "  ^Chapter \\d+ ");
    EXPECT_EQ(e.prefix, "");
    EXPECT_EQ(s.reads, (std::vector<std::string>{"mode", "expression"}));
    s.expression = "";
    EXPECT_EQ(buildChapterExpression(s).custom, "");
}

TEST(BuildChapterExpression, DefaultModeReadsPrefixAndSuffixOnly) {
    FixedSettings s;
    s.pre = "P";
    s.suf = "S";
    s.expression = "ignored";
    const ChapterExpression e = buildChapterExpression(s);
    EXPECT_EQ(e.custom, "");
    EXPECT_EQ(e.prefix + e.suffix, "PS");
    EXPECT_EQ(s.reads, (std::vector<std::string>{"mode", "prefix", "suffix"}));
}

}  // namespace
}  // namespace folioknife::splitter
