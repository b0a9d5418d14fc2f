#include <gtest/gtest.h>

#include "shell/DesktopEntry.h"

namespace folioknife::shell {
namespace {

TEST(DesktopEntryTest, ExecQuotingSurvivesAParseBack) {
    const char* paths[] = {
        "/usr/bin/folioknife",
        "/opt/folio knife/bin/folioknife",
        "/tmp/a\"b/folioknife",
        "/tmp/$HOME/${x}/folioknife",
        "/tmp/100%/%f%%/folioknife",
        "/tmp/back\\slash\\\\/folioknife",
        "/tmp/`id`/'q'/folioknife",
        "/tmp/a;b&c|d<e>f~g*h?i#j(k)/folioknife",
        "/tmp/tab\there/new\nline/cr\r/folioknife",
        "/tmp/新建 文件夹/folioknife",
        "/tmp/\\s\\n/folioknife",
    };
    for (const char* path : paths) {
        const auto arguments = parseExecValue(execValue(path));
        ASSERT_TRUE(arguments) << execValue(path);
        EXPECT_EQ(*arguments, (std::vector<std::string>{path, "%f"})) << execValue(path);
    }
}

TEST(DesktopEntryTest, ExecValueIsWrittenAsTheFormatAsks) {
    // Every backslash of the quoting is doubled again as a string escape: a literal backslash
    // takes four in the file, a dollar or a double quote two before it, a percent is doubled.
    struct Case {
        std::string program, exec;
    } cases[] = {
        {"/usr/bin/fk", "\"/usr/bin/fk\" %f"},
        {"/a b/c", "\"/a b/c\" %f"},
        {"/a\\b", "\"/a\\\\\\\\b\" %f"},
        {"/a$b", "\"/a\\\\$b\" %f"},
        {"/a\"b", "\"/a\\\\\"b\" %f"},
        {"/a%b", "\"/a%%b\" %f"},
        {"/a\nb", "\"/a\\nb\" %f"},
    };
    for (const auto& c : cases) EXPECT_EQ(execValue(c.program), c.exec) << c.program;
}

TEST(DesktopEntryTest, BrokenExecValuesAreRefused) {
    const char* values[] = {"/a$b %f", "\"/a b", "\"/a\\xb\" %f", "\"/a\"b %f", "x\"a\" %f",
                            "/a;b"};
    for (const char* value : values) EXPECT_FALSE(parseExecValue(value)) << value;
    EXPECT_EQ(parseExecValue("fk  %f"), (std::vector<std::string>{"fk", "%f"}));
}

TEST(DesktopEntryTest, TextHoldsWhatFileManagersNeedAndReadsBack) {
    const DesktopEntryFields fields{"一键分割", "/opt/folio knife/folioknife"};
    const std::string text = desktopEntryText(fields);
    EXPECT_EQ(text,
              "[Desktop Entry]\nType=Application\nName=一键分割\n"
              "Exec=\"/opt/folio knife/folioknife\" %f\nMimeType=text/plain;\n"
              "NoDisplay=true\nTerminal=false\n");
    const DesktopEntryFields back = readDesktopEntry(text);
    EXPECT_EQ(back.name, fields.name);
    EXPECT_EQ(back.program, fields.program);
    // Half an entry, as one REG ADD alone leaves it.
    EXPECT_EQ(desktopEntryText(DesktopEntryFields{"x", ""}).find("Exec="), std::string::npos);
}

TEST(DesktopEntryTest, ReadingTakesNameAndExecOfTheEntryGroupOnly) {
    struct Case {
        std::string text, name, program;
    } cases[] = {
        {"[Desktop Entry]\nName = a b \nExec=fk %f\n", "a b", "fk"},
        {"[Desktop Entry]\r\nName=a\r\n", "a", ""},
        {"# c\n[Desktop Entry]\n#Name=x\nName[zh_CN]=y\nName=\n", "", ""},
        {"[Other]\nName=x\n[Desktop Entry]\nType=Application\n", "", ""},
        {"[Desktop Entry]\nName=x\n[Other]\nName=y\nExec=z\n", "x", ""},
        {"[Desktop Entry]\nExec=\"unterminated\n", "", ""},
        {"Name=outside\n", "", ""},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        const DesktopEntryFields fields = readDesktopEntry(c.text);
        EXPECT_EQ(fields.name, c.name) << c.text;
        EXPECT_EQ(fields.program, c.program) << c.text;
    }
}

}  // namespace
}  // namespace folioknife::shell
