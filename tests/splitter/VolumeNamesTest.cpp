#include <gtest/gtest.h>

#include "splitter/VolumeNames.h"

namespace folioknife::splitter {
namespace {

TEST(VolumeFileName, JoinsFolderSeparatorAndNumberWithoutLeadingZeros) {
    EXPECT_EQ(volumeFileName("D:\\output", 1, PathStyle::Windows), "D:\\output\\novel_1.txt");
    EXPECT_EQ(volumeFileName("D:\\books\\", 10, PathStyle::Windows), "D:\\books\\\\novel_10.txt");
    EXPECT_EQ(volumeFileName("/home/u/output", 123, PathStyle::Posix),
              "/home/u/output/novel_123.txt");
}

// The names a split writes are the names it finds again: an earlier split's volumes are
// replaced, its recovery record trusted and the CLI's batch passes over them, by one rule.
TEST(VolumeNumberOf, KnowsOnlyTheNamesASplitWrites) {
    for (std::uint64_t k : {1ull, 9ull, 10ull, 123ull, 999999999999999999ull})
        EXPECT_EQ(volumeNumberOf(volumeName(k), PathStyle::Posix), k) << k;
    const struct {
        const char* name;
        std::uint64_t posix, windows;  // 0: no volume's name
    } cases[] = {
        {"novel_7.txt", 7, 7},
        {"Novel_7.TXT", 0, 7},  // Windows names match whatever their case
        {"novel_07.txt", 0, 0},
        {"novel_0.txt", 0, 0},
        {"novel_.txt", 0, 0},
        {"novel_1x.txt", 0, 0},
        {"novel_1.txt.bak", 0, 0},
        {"novel_1.txt.folioknife-new-abcd1234", 0, 0},
        {"my novel_1.txt", 0, 0},
        {"novel_1000000000000000000.txt", 0, 0},  // 19 digits: more than a split writes
    };
    for (const auto& c : cases) {
        EXPECT_EQ(volumeNumberOf(c.name, PathStyle::Posix), c.posix) << c.name;
        EXPECT_EQ(volumeNumberOf(c.name, PathStyle::Windows), c.windows) << c.name;
    }
}

TEST(VolumePattern, NamesSortAndRefuseWhatIsNoName) {
    EXPECT_EQ(expandVolumePattern("novel_{k}.txt", "x", 7, 12, ""), "novel_7.txt");
    EXPECT_EQ(expandVolumePattern("{name}-{k0}.txt", "书", 7, 120, ""), "书-007.txt");
    EXPECT_EQ(expandVolumePattern("{k0} {title}", "x", 12, 12, "第十二章"), "12 第十二章");
    EXPECT_EQ(expandVolumePattern("{k}{k}{x}", "x", 3, 9, ""), "33{x}");
    for (const char* good : {"novel_{k}.txt", "{name}_{k0}.txt", "{title}", "a{b"}) {
        EXPECT_EQ(volumePatternError(good), good == std::string("a{b") ? "{b" : "") << good;
    }
    for (const char* bad : {".", "..", "a/{k}", "a\\{k}", "{K}", "{kk}.txt"}) {
        EXPECT_FALSE(volumePatternError(bad).empty()) << bad;
    }
}

TEST(IsProgramFileName, KnowsTheProgramsOwnFilesWhateverTheirCase) {
    for (const char* ours : {".folioknife-lock", ".folioknife-record", ".FolioKnife-Lock",
                             ".folioknife-record. .", "a.txt.folioknife-new-x", "1.folioknife-old-",
                             "novel_1.txt.FOLIOKNIFE-NEW-abcd1234", ".folioknife-volumes"})
        EXPECT_TRUE(isProgramFileName(ours)) << ours;
    for (const char* volume : {"novel_1.txt", ".folioknife", "folioknife-lock", ".folioknife-lock1",
                               "a.folioknife-newer", ".folioknife-records"})
        EXPECT_FALSE(isProgramFileName(volume)) << volume;
}

TEST(VolumePattern, TellsTheNumberOfAFileItNames) {
    const struct {
        const char* pattern;
        const char* file;
        std::uint64_t number;  // 0: not one of its names
    } cases[] = {
        {"v{k0}.txt", "v007.txt", 7},
        {"v{k0}.txt", "v7.txt.folioknife-new-ab", 0},
        {"{name}_{k}.txt", "书_12.txt", 12},
        {"{name}_{k}.txt", "别的_12.txt", 0},
        {"{k0} {title}.txt", "03 第三章 雪.txt", 3},
        {"{title}.txt", "x.txt", 0},  // no number
        {"{k}{title}", "1984.txt", 1984},
        {"v{k}.txt", "v0.txt", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(volumeNumberIn(c.pattern, "书", c.file).value_or(0), c.number) << c.file;
    }
}

}  // namespace
}  // namespace folioknife::splitter
