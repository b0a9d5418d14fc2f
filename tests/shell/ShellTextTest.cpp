#include <gtest/gtest.h>

#include "TestText.h"
#include "shell/ShellText.h"

namespace folioknife::shell {
namespace {
using testing::CodePageScope;
using testing::gbk;
using testing::hex;

const std::string kVerbKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\txtfile\\shell\\folioknife";

TEST(RegLinesTest, FixedLinesAreByteExactInGbk) {
    CodePageScope codePage("GBK");
    EXPECT_EQ(hex(verbLine()),
              hex(gbk("REG ADD " + kVerbKey + " /v \"\" /t REG_SZ /d 一键分割 /f")));
    EXPECT_EQ(verbLine().size(), 99u);
    EXPECT_EQ(deleteLine(), "REG DELETE " + kVerbKey + " /f");
    EXPECT_EQ(deleteLine().size(), 74u);
}

TEST(RegLinesTest, CommandValueLineQuotesThePathUnchanged) {
    CodePageScope codePage("GBK");
    const std::string prefix = "REG ADD " + kVerbKey + "\\command /v \"\" /t REG_SZ /d \"";
    const std::string suffix = " %1\" /f";
    ASSERT_EQ(prefix.size(), 97u);
    ASSERT_EQ(suffix.size(), 7u);
    // Executable paths in UTF-8, taken apart and joined again in GBK.
    const char* paths[] = {
        "D:\\Tools\\splitter.exe",
        "D:\\splitter.exe",
        "D:\\My Tools\\new folder\\splitter.exe",
        "D:\\工具\\小说 分割\\分割器.exe",
        "C:\\運\\誠.exe",  // both characters end in the byte of "\"
    };
    for (const char* utf8 : paths) {
        const std::string path = gbk(utf8);
        const std::string line = commandValueLine(programDirectory(path, PathStyle::Windows),
                                                  programFileName(path, PathStyle::Windows),
                                                  PathStyle::Windows);
        EXPECT_EQ(hex(line), hex(prefix + path + suffix)) << utf8;
        EXPECT_EQ(line.size(), 97 + path.size() + 7) << utf8;
    }
    EXPECT_EQ(commandValueLine("D:", "splitter.exe", PathStyle::Windows),
              "REG ADD " + kVerbKey +
                  "\\command /v \"\" /t REG_SZ /d \"D:\\splitter.exe %1\" /f");
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
        {"", PathStyle::Windows, "", ""},
        {"D:/Tools/splitter.exe", PathStyle::Windows, "D:/Tools/splitter.exe",
         "D:/Tools/splitter.exe"},
        {"\\\\server\\share\\a.exe", PathStyle::Windows, "\\\\server\\share", "a.exe"},
        {gbk("D:\\工具\\誠.exe"), PathStyle::Windows, gbk("D:\\工具"), gbk("誠.exe")},
        {gbk("D:\\運\\a.exe"), PathStyle::Windows, gbk("D:\\運"), "a.exe"},
        {"/usr/local/bin/folioknife", PathStyle::Posix, "/usr/local/bin", "folioknife"},
        {"/folioknife", PathStyle::Posix, "", "folioknife"},
        {"/opt/a\\b/folioknife", PathStyle::Posix, "/opt/a\\b", "folioknife"},
        {"folioknife", PathStyle::Posix, "folioknife", "folioknife"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(programDirectory(c.path, c.style), c.directory) << hex(c.path);
        EXPECT_EQ(programFileName(c.path, c.style), c.fileName) << hex(c.path);
    }
}

TEST(ProgramPathTest, WithoutADoubleByteCodePageEveryBackslashSeparates) {
    CodePageScope codePage("UTF-8");
    const std::string path = "D:\\a\x81\\b.exe";
    EXPECT_EQ(programDirectory(path, PathStyle::Windows), "D:\\a\x81");
    EXPECT_EQ(programFileName(path, PathStyle::Windows), "b.exe");
}

TEST(CompareTextTest, UnsignedBytesUpToTheFirstNul) {
    struct Case {
        std::string a, b;
        int expected;
    } cases[] = {
        {"", "", 0},          {"0.7", "0.7", 0},      {"0.8", "0.7", 1},
        {"0.7", "0.8", -1},   {"0.71", "0.7", 1},     {"0.10", "0.7", -1},
        {"1.0", "0.7", 1},    {"V1.0", "0.7", 1},     {"0", "0.7", -1},
        {"", "0.7", -1},      {"0.7", "", 1},         {"No", "no", -1},
        {"NO", "no", -1},     {"\xB5", "z", 1},       {"z", "\xFF", -1},
        {std::string("a\0b", 3), "a", 0},             {std::string("0.7\0zz", 6), "0.7", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(compareText(c.a, c.b), c.expected) << hex(c.a) << " / " << hex(c.b);
    }
}

TEST(RegistryPathTest, LastBackslashSplitsKeyAndValueName) {
    struct Case {
        std::string path, key, valueName;
    } cases[] = {
        {"SOFTWARE\\Classes\\txtfile\\shell\\folioknife\\",
         "SOFTWARE\\Classes\\txtfile\\shell\\folioknife", ""},
        {"SOFTWARE\\x\\Name", "SOFTWARE\\x", "Name"},
        {"SOFTWARE", "SOFTWARE", ""},
    };
    for (const auto& c : cases) {
        const RegistryPath parts = splitRegistryPath(c.path);
        EXPECT_EQ(parts.key, c.key) << c.path;
        EXPECT_EQ(parts.valueName, c.valueName) << c.path;
    }
    EXPECT_EQ(splitRegistryPath(probePath()).valueName, "");
}

TEST(RegCommandTest, TheThreeLinesAreRecognisedAndNothingElse) {
    CodePageScope codePage("GBK");
    using Kind = RegCommand::Kind;
    const std::string odd = "/tmp/x \"y\" %1/folioknife";
    struct Case {
        std::string line;
        Kind kind;
        std::string data;
    } cases[] = {
        {verbLine(), Kind::SetMenuText, gbk("一键分割")},
        {commandValueLine("D:\\My Tools", "a.exe", PathStyle::Windows), Kind::SetCommand,
         "D:\\My Tools\\a.exe"},
        {commandValueLine("/opt/x", "folioknife", PathStyle::Posix), Kind::SetCommand,
         "/opt/x/folioknife"},
        {commandValueLine(programDirectory(odd, PathStyle::Posix),
                          programFileName(odd, PathStyle::Posix), PathStyle::Posix),
         Kind::SetCommand, odd},
        {deleteLine(), Kind::DeleteEntry, ""},
        {deleteLine() + " ", Kind::Other, ""},
        {"REG DELETE HKEY_LOCAL_MACHINE\\SOFTWARE /f", Kind::Other, ""},
        {"REG ADD " + kVerbKey + "\\command /v \"\" /t REG_SZ /d \"", Kind::Other, ""},
        {"xdg-open http://example.invalid/", Kind::Other, ""},
    };
    for (const auto& c : cases) {
        const RegCommand command = readRegCommand(c.line);
        EXPECT_EQ(command.kind, c.kind) << c.line;
        EXPECT_EQ(command.data, c.data) << c.line;
    }
}

TEST(SplitIntoWordsTest, BlanksSeparateQuotesGroup) {
    struct Case {
        std::string line;
        std::vector<std::string> words;
    } cases[] = {
        {"xdg-open http://h/mysoft/folioknife", {"xdg-open", "http://h/mysoft/folioknife"}},
        {"  touch   \"/tmp/a b\"  c ", {"touch", "/tmp/a b", "c"}},
        {"echo \"\" x", {"echo", "", "x"}},
        {"a\tb", {"a", "b"}},
        {"a\"b c\"d", {"ab cd"}},
        {"echo $HOME;ls", {"echo", "$HOME;ls"}},
        {"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(splitIntoWords(c.line), c.words) << c.line;
}

}  // namespace
}  // namespace folioknife::shell
