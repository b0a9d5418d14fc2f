#include <gtest/gtest.h>

#include "TestText.h"
#include "splitter/ChapterExpression.h"

namespace folioknife::splitter {
namespace {
using testing::CodePageScope;
using testing::gbk;
using testing::hex;

struct FixedSettings : SplitSettings {
    bool custom = false;
    Text expression, pre, suf;
    bool customMode() override { return custom; }
    Text expressionText() override { return expression; }
    Text prefix() override { return pre; }
    Text suffix() override { return suf; }
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
    EXPECT_EQ(hex(buildChapterExpression(s)), hex(expected));
}

TEST(BuildChapterExpression, PrefixAndSuffixGoInRawAndMayBeEmpty) {
    CodePageScope scope("UTF-8");
    FixedSettings s;
    s.pre = "(";
    s.suf = "";
    const Text e = buildChapterExpression(s);
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

TEST(BuildChapterExpression, CustomModeTakesTheTextAsTyped) {
    FixedSettings s;
    s.custom = true;
    s.expression = "  ^Chapter \\d+ ";
    s.pre = "ignored";
    EXPECT_EQ(buildChapterExpression(s), "  ^Chapter \\d+ ");
    s.expression = "";
    EXPECT_EQ(buildChapterExpression(s), "");
}

}  // namespace
}  // namespace folioknife::splitter
