#include <gtest/gtest.h>

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

TEST(NumeralClass, IsTheSeventySevenGbkBytesWithTheirBars) {
    CodePageScope scope("GBK");
    const Text numerals = numeralClass();
    ASSERT_EQ(numerals.size(), 79u);  // the brackets around 77 bytes
    EXPECT_EQ(numerals.front(), '[');
    EXPECT_EQ(numerals.back(), ']');
    EXPECT_EQ(numerals, gbk("[一|二|三|四|五|六|七|八|九|十|〇|百|千|壹|贰|叁|肆|伍|陆|柒|捌|玖|拾|佰|仟|零]"));
}

}  // namespace
}  // namespace folioknife::splitter
