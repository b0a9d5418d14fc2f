#include <gtest/gtest.h>

#include "TestText.h"
#include "splitter/TextToInteger.h"

namespace folioknife::splitter {
namespace {
using testing::CodePageScope;
using testing::gbk;
using testing::hex;

TEST(TextToInteger, ReadsALeadingIntegerAndWrapsIn32Bits) {
    CodePageScope scope("GBK");
    struct Case {
        std::string text;
        std::int32_t value;
    } cases[] = {
        {"10abc", 10},
        {" 7", 7},
        {"\t\n\v\f\r 8", 8},
        {"-3", -3},
        {"+5", 5},
        {"", 0},
        {"abc", 0},
        {"2.9", 2},
        {"+-1", 0},
        {"- 1", 0},
        {"4294967297", 1},          // 2^32 + 1 wraps to 1
        {"2147483648", INT32_MIN},  // 2^31 wraps to a negative number
        {"4294967295", -1},
        {gbk("１０"), 10},  // full-width digits
        {gbk("－３"), -3},  // full-width minus
        {gbk("＋２"), 2},
        {gbk("　１２章"), 12},  // ideographic space, then full-width digits
        {gbk("十"), 0},
        {std::string("1\0"
                     "2",
                     3),
         1},
    };
    for (const auto& c : cases) EXPECT_EQ(textToInteger(c.text), c.value) << hex(c.text);
}

TEST(TextToInteger, FoldsFullWidthFormsInUtf8Too) {
    CodePageScope scope("UTF-8");
    EXPECT_EQ(textToInteger("１０"), 10);
    EXPECT_EQ(textToInteger("　－２"), -2);
    EXPECT_EQ(textToInteger("＋７"), 7);
}

}  // namespace
}  // namespace folioknife::splitter
