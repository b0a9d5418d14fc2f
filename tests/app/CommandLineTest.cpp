#include <gtest/gtest.h>

#include "TestText.h"
#include "app/CommandLine.h"

namespace folioknife::app {
namespace {
using testing::gbk;
using Items = std::vector<Text>;

TEST(SplitCommandLine, FollowsTheWindowsRulesByteForByte) {
    struct Case {
        std::string line;
        Items items;
    } cases[] = {
        {"\"C:\\app.exe\" D:\\books\\novel.txt", {"D:\\books\\novel.txt"}},
        {"C:\\app.exe D:\\novel.txt", {"D:\\novel.txt"}},
        {"C:\\app.exe", {}},
        {"\"C:\\app.exe\"", {}},
        {"\"C:\\app.exe", {}},  // no closing quote: nothing remains
        {"", {}},
        {"C:\\app.exe novel.txt", {"novel.txt"}},
        {"C:\\app.exe D:\\My Books\\novel.txt", {"D:\\My", "Books\\novel.txt"}},
        {"C:\\Program Files\\tool\\app.exe D:\\a.txt", {"Files\\tool\\app.exe", "D:\\a.txt"}},
        {"app.exe \"\"", {""}},
        {"app.exe \"", {""}},  // a quote as the very last byte
        {"app.exe a.txt b.txt", {"a.txt", "b.txt"}},
        {"app.exe \"D:\\x\\a.txt\"b.txt", {"D:\\x\\a.txt", "b.txt"}},
        {"app.exe ab\"cd\"", {"ab", "cd"}},  // a quote ends a plain item and opens one
        {"\"C:\\app.exe\"D:\\a.txt", {"D:\\a.txt"}},
        {"\"C:\\a b\\app.exe\"  \t a", {"a"}},
        {"app.exe a\tb\x01"
         "c",
         {"a", "b", "c"}},
        {"app.exe a\\\"b\"", {"a\\", "b"}},      // no escape character
        {"app.exe a\x81 b", {"a\x81 b"}},        // a lead byte takes the blank along
        {"app.exe \"a\x81\"b\"", {"a\x81\"b"}},  // ... and a quote
        {"app.exe ab\x81", {"ab"}},              // a lead byte at the very end is dropped
        {"app.exe \"ab\x81", {"ab"}},
        {"app.exe " + gbk("小说.txt"), {gbk("小说.txt")}},
        {std::string("app.exe a\0b", 11), {"a"}},
    };
    for (const auto& c : cases) EXPECT_EQ(splitCommandLine(c.line), c.items) << c.line;
}

TEST(CommandLineRest, IsEverythingAfterTheProgramPathWithoutOuterBlanks) {
    struct Case {
        std::string line, rest;
    } cases[] = {
        {"C:\\app.exe D:\\My Books\\novel.txt", "D:\\My Books\\novel.txt"},
        {"C:\\app.exe D:\\My  Books\\novel.txt ", "D:\\My  Books\\novel.txt"},  // two blanks
        {"\"C:\\a b\\app.exe\"  \t D:\\x y.txt\t ", "D:\\x y.txt"},
        {"\"C:\\app.exe\"\"D:\\a b.txt\"", "\"D:\\a b.txt\""},  // quotes stay
        {"C:\\app.exe", ""},
        {"C:\\app.exe    ", ""},
        {"\"C:\\app.exe", ""},
        {std::string("app.exe a b\0c", 13), "a b"},
    };
    for (const auto& c : cases) EXPECT_EQ(commandLineRest(c.line), c.rest) << c.line;
}

TEST(FindLastText, GivesTheOneBasedPositionOfTheLastOccurrence) {
    EXPECT_EQ(findLastText("abcabc", "bc"), 5);
    EXPECT_EQ(findLastText("abc", "abc"), 1);
    EXPECT_EQ(findLastText("abc", "x"), -1);
    EXPECT_EQ(findLastText("abc", ""), -1);
    EXPECT_EQ(findLastText("", "a"), -1);
    EXPECT_EQ(findLastText("a", "ab"), -1);
}

TEST(LeftText, TakesAtMostNBytes) {
    EXPECT_EQ(leftText("abc", 2), "ab");
    EXPECT_EQ(leftText("abc", 10), "abc");
    EXPECT_EQ(leftText("abc", 0), "");
    EXPECT_EQ(leftText("abc", -1), "");
    EXPECT_EQ(leftText("", 3), "");
}

TEST(DeriveOutputDirectory, KeepsThePathUpToItsLastSeparatorInEitherStyle) {
    testing::CodePageScope codePage{"GBK"};
    const std::string tricky = "D:\\x\\" + gbk("乗") + "a.txt";  // 乗 is 81 5C
    const std::string trickyFolder = "D:\\" + gbk("乗") + "\\a.txt";
    const auto W = splitter::PathStyle::Windows, P = splitter::PathStyle::Posix;
    struct Case {
        std::string path;
        splitter::PathStyle style;
        std::string folder;
    } cases[] = {
        {"D:\\books\\novel.txt", W, "D:\\books\\"},
        {"D:\\novel.txt", W, "D:\\"},
        {"novel.txt", W, ""},
        {"", W, ""},
        {"Files\\tool\\app.exe", W, "Files\\tool\\"},
        {tricky, W, "D:\\x\\"},  // the character's second byte is no separator
        {trickyFolder, W, "D:\\" + gbk("乗") + "\\"},
        {"/home/u/books/novel.txt", P, "/home/u/books/"},
        {"/novel.txt", P, "/"},
        {"novel.txt", P, ""},
        {"D:\\books\\novel.txt", P, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(deriveOutputDirectory(c.path, c.style), c.folder) << c.path;
    }
}

}  // namespace
}  // namespace folioknife::app
