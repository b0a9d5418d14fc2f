#include <gtest/gtest.h>

#include "TestText.h"
#include "shell/EntryTexts.h"

namespace folioknife::shell {
namespace {
using testing::CodePageScope;
using testing::gbk;
using testing::hex;

// What Windows' registry gets, byte for byte in GBK: the keys and the command, whose "%1" stays
// unquoted; 誠 ends in 0x5C.
TEST(EntryTextsTest, TheRegistryKeysAndTheCommandInGbk) {
    CodePageScope codePage("GBK");
    EXPECT_EQ(machineEntryKey(), "SOFTWARE\\Classes\\txtfile\\shell\\folioknife");
    EXPECT_EQ(probePath(), machineEntryKey() + "\\");
    EXPECT_EQ(hex(userEntryKey()), hex(gbk("Software\\Classes\\*\\shell\\一键分割")));
    EXPECT_EQ(hex(entryCommand(gbk("D:\\My Tools\\誠.exe"))), hex(gbk("D:\\My Tools\\誠.exe %1")));
}

TEST(ProgramPathTest, DirectoryAndFileNameByStyle) {
    CodePageScope codePage("GBK");
    struct Case {
        std::string path;
        PathStyle style;
        std::string directory, fileName;
    } cases[] = {
        {"D:\\Tools\\splitter.exe", PathStyle::Windows, "D:\\Tools", "splitter.exe"},
        {"D:\\splitter.exe", PathStyle::Windows, "D:", "splitter.exe"},
        {"splitter.exe", PathStyle::Windows, "splitter.exe", "splitter.exe"},
        {"D:/Tools/x.exe", PathStyle::Windows, "D:/Tools", "x.exe"},
        {gbk("D:\\工具\\誠.exe"), PathStyle::Windows, gbk("D:\\工具"), gbk("誠.exe")},
        {gbk("D:\\運\\a.exe"), PathStyle::Windows, gbk("D:\\運"), "a.exe"},
        {"/usr/local/bin/folioknife", PathStyle::Posix, "/usr/local/bin", "folioknife"},
        {"/folioknife", PathStyle::Posix, "", "folioknife"},
        {"/opt/a\\b/fk", PathStyle::Posix, "/opt/a\\b", "fk"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(programDirectory(c.path, c.style), c.directory) << hex(c.path);
        EXPECT_EQ(programFileName(c.path, c.style), c.fileName) << hex(c.path);
    }
    // Without a double-byte code page every 0x5C separates.
    CodePageScope utf8("UTF-8");
    EXPECT_EQ(programFileName("D:\\a\x81\\b.exe", PathStyle::Windows), "b.exe");
}

}  // namespace
}  // namespace folioknife::shell
