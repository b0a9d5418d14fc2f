#include <gtest/gtest.h>

#include "TestText.h"
#include "shell/CompareText.h"

namespace folioknife::shell {
namespace {
using testing::hex;

TEST(CompareTextTest, UnsignedBytesUpToTheFirstNul) {
    struct Case {
        std::string a, b;
        int expected;
    } cases[] = {
        {"", "", 0},        {"0.7", "0.7", 0}, {"0.8", "0.7", 1}, {"0.7", "0.8", -1},
        {"0.71", "0.7", 1}, {"0.7", "", 1},    {"", "0.7", -1},   {"0.10", "0.7", -1},
        {"No", "no", -1},   {"\xB5", "z", 1},  {"z", "\xFF", -1}, {std::string("a\0b", 3), "a", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(compareText(c.a, c.b), c.expected) << hex(c.a) << " / " << hex(c.b);
    }
}

}  // namespace
}  // namespace folioknife::shell
