#include <gtest/gtest.h>

#include "shell/DesktopEntry.h"

namespace folioknife::shell {
namespace {

TEST(DesktopEntryTest, ExecQuotingSurvivesAParseBack) {
    for (const char* path :
         {"/usr/bin/folioknife", "/opt/folio knife/fk", "/tmp/a\"b/fk", "/tmp/$HOME/${x}/fk",
          "/tmp/100%/%f%%/fk", "/tmp/back\\slash\\\\/fk", "/tmp/`id`/'q'/a;b&c|d<e>f~g*h?i#j(k)/fk",
          "/tmp/tab\tnew\nline/fk", "/tmp/新建 文件夹/fk", "/tmp/\\s\\n/fk"}) {
        const auto arguments = parseExecValue(execValue(path));
        ASSERT_TRUE(arguments) << execValue(path);
        EXPECT_EQ(*arguments, (std::vector<std::string>{path, "%f"})) << execValue(path);
    }
    for (const char* broken : {"/a$b %f", "\"/a b", "\"/a\\xb\" %f", "\"/a\"b %f", "/a;b"}) {
        EXPECT_FALSE(parseExecValue(broken)) << broken;
    }
}

TEST(DesktopEntryTest, ExecIsWrittenAsTheFormatAsks) {
    // The quoting's backslashes are doubled again as string escapes: a literal backslash takes
    // four in the file, a dollar or a double quote two before it; a percent is doubled.
    struct Case {
        std::string program, exec;
    } cases[] = {
        {"/a b/c", "\"/a b/c\" %f"},   {"/a\\b", "\"/a\\\\\\\\b\" %f"}, {"/a$b", "\"/a\\\\$b\" %f"},
        {"/a\"b", "\"/a\\\\\"b\" %f"}, {"/a%b", "\"/a%%b\" %f"},        {"/a\nb", "\"/a\\nb\" %f"},
    };
    for (const auto& c : cases) EXPECT_EQ(execValue(c.program), c.exec) << c.program;
}

TEST(DesktopEntryTest, TextReadsBackAndOnlyItsOwnGroupCounts) {
    EXPECT_EQ(desktopEntryText({"一键分割", "/opt/fk"}),
              "[Desktop Entry]\nType=Application\nName=一键分割\nExec=\"/opt/fk\" %f\n"
              "MimeType=text/plain;\nNoDisplay=true\nTerminal=false\n");
    struct Case {
        std::string text, name, program;
    } cases[] = {
        {desktopEntryText({"a b", "/x y/fk"}), "a b", "/x y/fk"},
        {desktopEntryText({"half", ""}), "half", ""},
        {"[Desktop Entry]\r\nName = a \r\nExec=fk %f\r\n", "a", "fk"},
        {"# c\n[Desktop Entry]\n#Name=x\nName[zh_CN]=y\nName=\n", "", ""},
        {"[Other]\nName=x\n[Desktop Entry]\nType=Application\n", "", ""},
        {"[Desktop Entry]\nName=x\n[Other]\nName=y\nExec=z\n", "x", ""},
        {"Name=outside\n", "", ""},
    };
    for (const auto& c : cases) {
        const DesktopEntryFields fields = readDesktopEntry(c.text);
        EXPECT_EQ(fields.name, c.name) << c.text;
        EXPECT_EQ(fields.program, c.program) << c.text;
    }
}

}  // namespace
}  // namespace folioknife::shell
