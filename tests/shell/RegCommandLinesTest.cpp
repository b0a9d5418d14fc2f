#include <gtest/gtest.h>

#include "TestText.h"
#include "shell/RegCommandLines.h"

namespace folioknife::shell {
namespace {
using testing::CodePageScope;
using testing::gbk;
using testing::hex;

const std::string kVerbKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\txtfile\\shell\\folioknife";
const std::string kPrefix = "REG ADD " + kVerbKey + "\\command /v \"\" /t REG_SZ /d \"";
const std::string kSuffix = " %1\" /f";

TEST(RegLinesTest, BytesAndLengthsInGbk) {
    CodePageScope codePage("GBK");
    EXPECT_EQ(hex(verbLine()),
              hex(gbk("REG ADD " + kVerbKey + " /v \"\" /t REG_SZ /d 一键分割 /f")));
    EXPECT_EQ(verbLine().size(), 99u);
    EXPECT_EQ(deleteLine(), "REG DELETE " + kVerbKey + " /f");
    EXPECT_EQ(deleteLine().size(), 74u);
    ASSERT_EQ(kPrefix.size(), 97u);
    ASSERT_EQ(kSuffix.size(), 7u);
    // Executables at a drive root, under blanks and Chinese names; 運 and 誠 end in 0x5C.
    for (const char* utf8 :
         {"D:\\splitter.exe", "D:\\Tools\\splitter.exe", "D:\\My Tools\\new folder\\splitter.exe",
          "D:\\工具\\小说 分割\\分割器.exe", "C:\\運\\誠.exe"}) {
        const std::string path = gbk(utf8);
        const std::string line =
            commandValueLine(programDirectory(path, PathStyle::Windows),
                             programFileName(path, PathStyle::Windows), PathStyle::Windows);
        EXPECT_EQ(hex(line), hex(kPrefix + path + kSuffix)) << utf8;
        EXPECT_EQ(line.size(), 97 + path.size() + 7) << utf8;
    }
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

TEST(RegCommandTest, OnlyTheThreeLinesMeanSomething) {
    CodePageScope codePage("GBK");
    using Kind = RegCommand::Kind;
    const std::string odd = "/tmp/x \"y\" %1/fk";
    struct Case {
        std::string line;
        Kind kind;
        std::string data;
    } cases[] = {
        {verbLine(), Kind::SetMenuText, gbk("一键分割")},
        {commandValueLine("/tmp/x \"y\" %1", "fk", PathStyle::Posix), Kind::SetCommand, odd},
        {deleteLine(), Kind::DeleteEntry, ""},
        {deleteLine() + " ", Kind::Other, ""},
        {kPrefix, Kind::Other, ""},
    };
    for (const auto& c : cases) {
        const RegCommand command = readRegCommand(c.line);
        EXPECT_EQ(command.kind, c.kind) << c.line;
        EXPECT_EQ(command.data, c.data) << c.line;
    }
}

}  // namespace
}  // namespace folioknife::shell
