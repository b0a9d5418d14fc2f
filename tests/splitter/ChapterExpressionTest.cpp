#include <gtest/gtest.h>

#include "TestText.h"
#include "fakes/FakeSplitSettings.h"
#include "splitter/ChapterExpression.h"
#include "splitter/ChapterHeadings.h"

namespace folioknife::splitter {
namespace {
using testing::CodePageScope;
using testing::FixedSettings;
using testing::gbk;
using testing::hex;

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

// Each mode's settings as given, and the other mode's never read.
TEST(BuildChapterExpression, TakesTheChosenModesSettingsAsTyped) {
    struct Case {
        bool custom;
        Text typed;
        ChapterExpression expected;
        std::vector<std::string> reads;
    } cases[] = {
        {false, "ignored", {true, "P(", "", ""}, {"mode", "prefix", "suffix"}},
        {true, "  ^Chapter \\d+ ", {false, "", "", "  ^Chapter \\d+ "}, {"mode", "expression"}},
        {true, "", {false, "", "", ""}, {"mode", "expression"}},
    };
    for (const Case& c : cases) {
        FixedSettings s;
        s.custom = c.custom;
        s.expression = c.typed;
        s.pre = "P(";
        s.suf = "";
        const ChapterExpression e = buildChapterExpression(s);
        EXPECT_EQ(e.defaultMode, c.expected.defaultMode) << c.typed;
        EXPECT_EQ(e.prefix + "|" + e.suffix + "|" + e.custom,
                  c.expected.prefix + "|" + c.expected.suffix + "|" + c.expected.custom);
        EXPECT_EQ(s.reads, c.reads) << c.typed;
    }
}

}  // namespace
}  // namespace folioknife::splitter
