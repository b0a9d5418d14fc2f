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

TEST(PathTest, ParentFileNameAndFolderByStyle) {
    CodePageScope codePage("GBK");
    const auto W = PathStyle::Windows, P = PathStyle::Posix;
    struct Case {
        std::string path;
        PathStyle style;
        std::string parent, name, folder;
    } cases[] = {
        {"D:\\books\\novel.txt", W, "D:\\books", "novel.txt", "D:\\books"},
        {"D:\\novel.txt", W, "D:", "novel.txt", "D:\\"},
        {"novel.txt", W, "novel.txt", "novel.txt", "."},
        {"\\novel.txt", W, "", "novel.txt", "\\"},
        {"D:/books/novel.txt", W, "D:/books/novel.txt", "D:/books/novel.txt", "D:/books"},
        // 運 is 0xDF 0x5C: its second byte is no separator.
        {gbk("D:\\運\\小说.txt"), W, gbk("D:\\運"), gbk("小说.txt"), gbk("D:\\運")},
        {gbk("D:\\書庫\\運"), W, gbk("D:\\書庫"), gbk("運"), gbk("D:\\書庫")},
        {"/home/u/novel.txt", P, "/home/u", "novel.txt", "/home/u"},
        {"/novel.txt", P, "", "novel.txt", "/"},
        {"a\\b.txt", P, "a\\b.txt", "a\\b.txt", "."},
        {"", P, "", "", "."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(hex(c.path));
        EXPECT_EQ(hex(parentPath(c.path, c.style)), hex(c.parent));
        EXPECT_EQ(hex(fileName(c.path, c.style)), hex(c.name));
        EXPECT_EQ(hex(folderOf(c.path, c.style)), hex(c.folder));
        if (c.parent != c.path) {
            EXPECT_EQ(joinPath(c.parent, c.name, c.style), c.path);  // the two give it back
        }
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
