#include <gtest/gtest.h>

#include "TestText.h"
#include "splitter/HalfWidth.h"

namespace folioknife::splitter {
namespace {
using testing::gbk;

TEST(FoldHalfWidth, RespectsGbkCharacterBoundaries) {
    // B0 A3 is one character; the A3 B0 that straddles it and the next byte is no digit.
    const std::string text = std::string("\xB0\xA3") +
                             "\xB0"
                             "A";
    EXPECT_EQ(foldHalfWidth(text, "GBK"), text);
    EXPECT_EQ(foldHalfWidth(gbk("Ａ１"), "GBK"), gbk("Ａ") + "1");
}

}  // namespace
}  // namespace folioknife::splitter
