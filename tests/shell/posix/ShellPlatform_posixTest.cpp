// The Linux context-menu entry for real, in a temporary XDG_DATA_HOME.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "TestText.h"
#include "shell/ContextMenu.h"
#include "shell/posix/DesktopEntryShell.h"

namespace folioknife::shell {
namespace {
namespace fs = std::filesystem;

class DesktopEntryPosixTest : public ::testing::Test {
protected:
    testing::CodePageScope codePage{"GBK"};  // the file is UTF-8 whatever the code page
    std::string root, savedHome = getenv("HOME") ? getenv("HOME") : "";

    void SetUp() override {
        char pattern[] = "/tmp/fk-shell-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
    }
    void TearDown() override {
        unsetenv("XDG_DATA_HOME");
        setenv("HOME", savedHome.c_str(), 1);
        fs::remove_all(root);
    }
    bool probeAtStart() { return makeContextMenuEntry()->entryPresent(); }
    // The check box's click toggles its mark; the entry follows the new mark.
    void clickFrom(bool checked) {
        EXPECT_EQ(makeContextMenuEntry()->setEntry(!checked), std::nullopt);
    }
    std::string entryText() {
        std::stringstream all;
        all << std::ifstream(desktopEntryPath(), std::ios::binary).rdbuf();
        return all.str();
    }
};

TEST_F(DesktopEntryPosixTest, CheckRestartClear) {
    EXPECT_FALSE(probeAtStart());
    clickFrom(false);
    const std::string text = entryText();
    for (const char* line :
         {"\nName=一键分割\n", "\nMimeType=text/plain;\n", "\nNoDisplay=true\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << text;
    }
    EXPECT_EQ(readDesktopEntry(text).program, executablePath());
    // File managers take only entries that keep the format's rules.
    if (std::system("command -v desktop-file-validate >/dev/null") == 0) {
        EXPECT_EQ(std::system(("desktop-file-validate " + desktopEntryPath()).c_str()), 0) << text;
    }
    // Written by rename: nothing but the entry is left in the folder.
    const fs::path folder = fs::path(desktopEntryPath()).parent_path();
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
    EXPECT_TRUE(probeAtStart());
    clickFrom(true);
    EXPECT_FALSE(fs::exists(desktopEntryPath()));
    EXPECT_FALSE(probeAtStart());
}

TEST_F(DesktopEntryPosixTest, ProbeReadsTheNameOnly) {
    struct Case {
        const char* text;  // nullptr: no file
        bool checked;
    } cases[] = {
        {nullptr, false},
        {"[Desktop Entry]\nExec=fk %f\n", false},
        {"[Desktop Entry]\nName=\n", false},
        {"[Desktop Entry]\nName=no\n", false},
        {"[Desktop Entry]\nName=No\n", true},
    };
    fs::create_directories(fs::path(desktopEntryPath()).parent_path());
    for (const auto& c : cases) {
        fs::remove(desktopEntryPath());
        if (c.text) std::ofstream(desktopEntryPath()) << c.text;
        EXPECT_EQ(probeAtStart(), c.checked) << (c.text ? c.text : "(no file)");
    }
}

TEST_F(DesktopEntryPosixTest, DataHomeFallsBackToHome) {
    setenv("HOME", root.c_str(), 1);
    const std::string fallback = root + "/.local/share/applications/";
    for (const auto& [dataHome, folder] :
         std::vector<std::pair<const char*, std::string>>{{nullptr, fallback},
                                                          {"", fallback},
                                                          {"rel/data", fallback},
                                                          {"/x/y/", "/x/y/applications/"}}) {
        if (dataHome)
            setenv("XDG_DATA_HOME", dataHome, 1);
        else
            unsetenv("XDG_DATA_HOME");
        EXPECT_EQ(desktopEntryPath(), folder + "folioknife-context-menu.desktop");
    }
}

TEST_F(DesktopEntryPosixTest, CommandLinesStartProgramsWithoutAShell) {
    auto shell = makeShellPlatform();
    const std::string odd = root + "/a$HOME;b`id`*";
    EXPECT_TRUE(shell->runCommandLine("touch \"" + odd + "\"", true, ShowMode::Hidden));
    EXPECT_TRUE(fs::exists(odd));
    EXPECT_FALSE(shell->runCommandLine("folioknife-no-such-program", true, ShowMode::Hidden));
    EXPECT_FALSE(shell->runCommandLine("REG ADD HKCU\\x /f", false, ShowMode::Hidden));
    // Without waiting the call returns at once and the program runs on its own.
    const std::string later = root + "/later";
    EXPECT_TRUE(shell->runCommandLine("touch " + later, false, ShowMode::Maximized));
    for (int i = 0; i < 500 && !fs::exists(later); ++i) usleep(10000);
    EXPECT_TRUE(fs::exists(later));
}

// An entry that cannot be written or removed says why; a program run to its end says how it
// ended.
TEST_F(DesktopEntryPosixTest, AChangeThatFailsSaysWhy) {
    // A file where the applications folder should be: nothing can be written below it.
    fs::create_directories(root + "/data");
    std::ofstream(root + "/data/applications") << "in the way";
    const std::optional<std::string> added = makeContextMenuEntry()->setEntry(true);
    ASSERT_TRUE(added);
    EXPECT_EQ(*added, systemReason(ENOTDIR));
    EXPECT_EQ(makeContextMenuEntry()->setEntry(false), systemReason(ENOTDIR));
    auto shell = makeShellPlatform();
    EXPECT_EQ(shell->runToEnd("true"), std::nullopt);
    EXPECT_EQ(shell->runToEnd("false"),
              "false" + splitter::programText(" 以退出码 ") + "1" + splitter::programText(" 结束"));
    EXPECT_EQ(shell->runToEnd("folioknife-no-such-program"), systemReason(ENOENT));
}

}  // namespace
}  // namespace folioknife::shell
