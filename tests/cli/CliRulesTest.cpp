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

}  // namespace
}  // namespace folioknife::cli
