// Rules of folioknife-split that do no I/O, with Windows rules checked on every host.
#include <gtest/gtest.h>

#include "cli/CliSplit.h"
#include "splitter/Path.h"

namespace folioknife::cli {
namespace {

TEST(DefaultOutputFolder, IsTheFolderThatHoldsTheNovelInEitherStyle) {
    const struct {
        const char* separator;
        const char* file;
        const char* folder;
    } cases[] = {
        {"/", "books/x.txt", "books"},
        {"/", "/books/x.txt", "/books"},
        {"/", "/x.txt", "/"},
        {"/", "x.txt", "."},
        {"/", "a\\b.txt", "."},  // a backslash is part of a Linux name
        {"/", "D:/x.txt", "D:"},
        {"\\", "D:\\books\\x.txt", "D:\\books"},
        {"\\", "D:/books/x.txt", "D:/books"},
        {"\\", "D:\\books/sub\\x.txt", "D:\\books/sub"},
        {"\\", "D:\\x.txt", "D:\\"},  // "D:" alone would be D's current folder
        {"\\", "d:/x.txt", "d:/"},
        {"\\", "D:x.txt", "D:"},
        {"\\", "\\x.txt", "\\"},
        {"\\", "x.txt", "."},
        {"\\", "books\\x.txt", "books"},
        {"\\", "\\\\server\\share\\x.txt", "\\\\server\\share"},
    };
    for (const auto& c : cases) {
        const auto style = std::string(c.separator) == "\\" ? splitter::PathStyle::Windows
                                                            : splitter::PathStyle::Posix;
        EXPECT_EQ(splitter::folderOf(c.file, style), c.folder) << c.file;
    }
}

TEST(CodePages, OnlyThoseInWhichAsciiIsAsciiAreAccepted) {
    for (const char* cp : {"GBK", "GB18030", "BIG5", "UTF-8", "CP936", "CP1252"}) {
        EXPECT_TRUE(asciiMeansAscii(cp)) << cp;
    }
    for (const char* cp : {"UTF-16", "UTF-16LE", "UTF-16BE", "UCS-2", "UCS-2LE", "UTF-32",
                           "UTF-32LE", "UCS-4", "UTF-7"}) {
        EXPECT_FALSE(asciiMeansAscii(cp)) << cp;
    }
}

TEST(Options, SizesEncodingsAndNovelNames) {
    const struct {
        const char* text;
        std::uint64_t bytes;  // 0: refused
    } sizes[] = {{"500K", 500 << 10},
                 {"2M", 2 << 20},
                 {"2mb", 2 << 20},
                 {"1G", 1 << 30},
                 {"4096", 4096},
                 {"64", 64},
                 {"63", 0},
                 {"", 0},
                 {"K", 0},
                 {"2X", 0},
                 {"-1K", 0},
                 {"1.5M", 0},
                 {"99999999999999999999", 0}};
    for (const auto& c : sizes) EXPECT_EQ(parseSize(c.text).value_or(0), c.bytes) << c.text;
    EXPECT_EQ(volumeEncodingNamed("utf-8"), "UTF-8");
    EXPECT_EQ(volumeEncodingNamed("UTF8"), "UTF-8");
    EXPECT_EQ(volumeEncodingNamed("gbk"), "GBK");
    EXPECT_EQ(volumeEncodingNamed("utf-16le"), "UTF-16LE");
    EXPECT_EQ(volumeEncodingNamed("latin1"), "");
    EXPECT_EQ(novelStem("books/三体.txt", false), "三体");
    EXPECT_EQ(novelStem("a.b.TXT", false), "a.b");
    EXPECT_EQ(novelStem("D:/books\\x.txt", true), "x");
    EXPECT_EQ(novelStem("D:x.txt", true), "x");
    EXPECT_EQ(novelStem("notes", false), "notes");
}

// Without --codepage: a Chinese or UTF-8 system's own code page; on a Western Windows, UTF-8,
// under which GBK novels are found by their content.
TEST(DefaultCodePage, AWesternWindowsReadsNovelsAsUtf8OrGb18030) {
    const struct {
        const char* terminal;
        bool windows;
        const char* used;
    } cases[] = {
        {"GBK", true, "GBK"},
        {"GB18030", true, "GB18030"},
        {"CP950", true, "CP950"},
        {"UTF-8", true, "UTF-8"},
        {"CP1252", true, "UTF-8"},
        {"CP1251", true, "UTF-8"},
        {"ISO-8859-1", false, "ISO-8859-1"},
    };
    for (const auto& c : cases) EXPECT_EQ(defaultCodePage(c.terminal, c.windows), c.used);
}

}  // namespace
}  // namespace folioknife::cli
