// The path rules in both styles on every host, double-byte characters whose second byte is
// 0x5C included.
#include <gtest/gtest.h>

#include "TestText.h"
#include "splitter/LeadBytes.h"
#include "splitter/Path.h"

namespace folioknife::splitter {
namespace {
using testing::CodePageScope;
using testing::gbk;
using testing::hex;

TEST(PathTest, TakenApartByStyle) {
    CodePageScope codePage("GBK");
    const auto W = PathStyle::Windows, P = PathStyle::Posix;
    struct Case {
        std::string path;
        PathStyle style;
        std::string parent, name, folder, prefix, stem, extension;
    } cases[] = {
        {"D:\\books\\novel.txt", W, "D:\\books", "novel.txt", "D:\\books", "D:\\books\\", "novel",
         ".txt"},
        {"D:\\novel.txt", W, "D:", "novel.txt", "D:\\", "D:\\", "novel", ".txt"},
        {"novel.txt", W, "novel.txt", "novel.txt", ".", "", "novel", ".txt"},
        {"\\novel.txt", W, "", "novel.txt", "\\", "\\", "novel", ".txt"},
        {"D:novel.txt", W, "D:novel.txt", "novel.txt", "D:", "D:", "novel", ".txt"},
        {"D:/books\\a.b.TXT", W, "D:/books", "a.b.TXT", "D:/books", "D:/books\\", "a.b", ".TXT"},
        {"D:\\books/x", W, "D:\\books", "x", "D:\\books", "D:\\books/", "x", ""},
        {"\\\\host\\share\\x.txt", W, "\\\\host\\share", "x.txt", "\\\\host\\share",
         "\\\\host\\share\\", "x", ".txt"},
        // 運 is 0xDF 0x5C and 乗 0x81 0x5C: their second bytes are no separators.
        {gbk("D:\\運\\小说.txt"), W, gbk("D:\\運"), gbk("小说.txt"), gbk("D:\\運"), gbk("D:\\運\\"),
         gbk("小说"), ".txt"},
        {gbk("D:\\書庫\\運"), W, gbk("D:\\書庫"), gbk("運"), gbk("D:\\書庫"), gbk("D:\\書庫\\"),
         gbk("運"), ""},
        {gbk("乗.運"), W, gbk("乗.運"), gbk("乗.運"), ".", "", gbk("乗"), gbk(".運")},
        {"/home/u/novel.txt", P, "/home/u", "novel.txt", "/home/u", "/home/u/", "novel", ".txt"},
        {"/novel.txt", P, "", "novel.txt", "/", "/", "novel", ".txt"},
        {"a\\b.txt", P, "a\\b.txt", "a\\b.txt", ".", "", "a\\b", ".txt"},
        {"D:x.txt", P, "D:x.txt", "D:x.txt", ".", "", "D:x", ".txt"},
        {"dir.d/.txt", P, "dir.d", ".txt", "dir.d", "dir.d/", "", ".txt"},
        {"", P, "", "", ".", "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(hex(c.path));
        EXPECT_EQ(hex(parentPath(c.path, c.style)), hex(c.parent));
        EXPECT_EQ(hex(fileName(c.path, c.style)), hex(c.name));
        EXPECT_EQ(hex(folderOf(c.path, c.style)), hex(c.folder));
        EXPECT_EQ(hex(folderPrefix(c.path, c.style)), hex(c.prefix));
        EXPECT_EQ(hex(stem(c.path, c.style)), hex(c.stem));
        EXPECT_EQ(hex(extension(c.path, c.style)), hex(c.extension));
        EXPECT_EQ(folderPrefix(c.path, c.style) + fileName(c.path, c.style), c.path);
        EXPECT_EQ(stem(c.path, c.style) + extension(c.path, c.style), c.name);
    }
}

TEST(PathTest, JoinedByStyle) {
    CodePageScope codePage("GBK");
    const auto W = PathStyle::Windows, P = PathStyle::Posix;
    struct Case {
        std::string folder;
        PathStyle style;
        std::string joined, joinedOnce;  // of the folder and "n"
    } cases[] = {
        {"D:\\out", W, "D:\\out\\n", "D:\\out\\n"},
        {"D:\\", W, "D:\\\\n", "D:\\n"},
        {"D:/out/", W, "D:/out/\\n", "D:/out/n"},
        {gbk("D:\\運"), W, gbk("D:\\運\\n"), gbk("D:\\運\\n")},  // ends in 0x5C, no separator
        {"/", P, "//n", "/n"},
        {"out", P, "out/n", "out/n"},
        {"out\\", P, "out\\/n", "out\\/n"},
        {"", P, "/n", "/n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(hex(c.folder));
        EXPECT_EQ(hex(joinPath(c.folder, "n", c.style)), hex(c.joined));
        EXPECT_EQ(hex(joinPathOnce(c.folder, "n", c.style)), hex(c.joinedOnce));
    }
}

TEST(PathTest, TheCodePageDecidesWhichBytesLead) {
    struct Case {
        const char* codePage;
        std::string path;
        std::string parent;
    } cases[] = {
        {"GBK", "a\\\x81\\b", "a"},  // 0x81 0x5C is one character
        {"UTF-8", "a\\\x81\\b", "a\\\x81"}, {"CP932", "a\\\x83\\b", "a"},  // ソ in Shift-JIS
        {"CP932", "a\\\xB1\\b", "a\\\xB1"},  // a one-byte katakana leads nothing
        {"BIG5", "a\\\xA5\\b", "a"},         // 功 in Big5
    };
    for (const auto& c : cases) {
        CodePageScope codePage(c.codePage);
        EXPECT_EQ(hex(parentPath(c.path, PathStyle::Windows)), hex(c.parent)) << c.codePage;
    }
    EXPECT_EQ(leadBytesOf("cp936"), LeadBytes::Dbcs);
    EXPECT_EQ(leadBytesOf("SHIFT_JIS"), LeadBytes::ShiftJis);
    EXPECT_EQ(leadBytesOf("UTF-8"), LeadBytes::None);
    EXPECT_EQ(leadBytesOf("ISO-8859-1"), LeadBytes::None);
}

}  // namespace
}  // namespace folioknife::splitter
