// Volumes in another encoding: converted without loss or not at all, and read back to the
// novel's bytes.
#include <gtest/gtest.h>

#include "splitter/Recode.h"

namespace folioknife::splitter {
namespace {

TEST(Recode, ConvertsWithoutLossOrNotAtAll) {
    const std::string zhong = "\xE4\xB8\xAD";  // 中 in UTF-8
    const std::string smile = "\xF0\x9F\x98\x80";
    const struct {
        std::string text;
        const char* from;
        const char* to;
        std::optional<std::string> result;
    } cases[] = {
        {zhong + "a", "UTF-8", "GBK",
         std::string("\xD6\xD0"
                     "a")},
        {"\xD6\xD0"
         "a",
         "GBK", "UTF-16LE",
         std::string("\x2D\x4E"
                     "a\0",
                     4)},
        {std::string("\x2D\x4E", 2), "UTF-16LE", "UTF-8", zhong},
        {std::string("\x4E\x2D", 2), "UTF-16BE", "UTF-16LE", std::string("\x2D\x4E", 2)},
        {smile, "UTF-8", "UTF-16LE", std::string("\x3D\xD8\x00\xDE", 4)},  // a surrogate pair
        {std::string("\x3D\xD8\x00\xDE", 4), "UTF-16LE", "UTF-8", smile},
        {smile, "UTF-8", "GBK", std::nullopt},  // no place in GBK
        {std::string("\x3D\xD8"
                     "a\0",
                     4),
         "UTF-16LE", "UTF-8", std::nullopt},                          // lone surrogate
        {std::string("a\0b", 3), "UTF-16LE", "UTF-8", std::nullopt},  // odd byte
        {"\xFF"
         "a",
         "UTF-8", "UTF-16LE", std::nullopt},  // not UTF-8
        {"\xFF"
         "a",
         "UTF-8", "UTF-8", std::nullopt},  // the same encoding is checked too
    };
    for (const auto& c : cases) EXPECT_EQ(recode(c.text, c.from, c.to), c.result) << c.text;
}

TEST(Recode, TellsWhereTheFirstUnconvertibleCharacterStands) {
    const DocumentEncoding utf8{"UTF-8", CharacterSet::Utf8};
    const std::string korean = "\xED\x95\x9C";  // 한, not in GBK
    EXPECT_EQ(firstUnconvertible("ab\ncd" + korean + "e", utf8, "GBK"), 5u);
    EXPECT_EQ(firstUnconvertible(korean, utf8, "GBK"), 0u);
    EXPECT_EQ(firstUnconvertible("abc", utf8, "GBK"), 3u);
}

TEST(Recode, VolumesReadBackToTheNovelsBytes) {
    const DocumentEncoding utf16{"UTF-16LE", CharacterSet::Utf16Le};
    const std::string novel(
        "\xFF\xFE"
        "a\0",
        4);
    // To UTF-8: the novel's mark leaves the first volume and is given back when read back.
    const VolumeForm toUtf8 = volumeFormFor(novel, utf16, "UTF-8");
    EXPECT_EQ(toUtf8.sourceMark, "\xFF\xFE");
    EXPECT_EQ(toUtf8.mark, "");
    EXPECT_EQ(readBackVolume(toUtf8, 1, "a"), novel);
    EXPECT_EQ(readBackVolume(toUtf8, 2, "a"), std::string("a\0", 2));
    // To UTF-16LE from GBK: every volume begins with FF FE, which reading back requires.
    const VolumeForm toWide =
        volumeFormFor("x", DocumentEncoding{"GBK", CharacterSet::DoubleByte}, "UTF-16LE");
    EXPECT_EQ(toWide.mark, "\xFF\xFE");
    EXPECT_EQ(readBackVolume(toWide, 2,
                             std::string("\xFF\xFE"
                                         "x\0",
                                         4)),
              "x");
    EXPECT_EQ(readBackVolume(toWide, 2, std::string("x\0", 2)), std::nullopt);
}

}  // namespace
}  // namespace folioknife::splitter
