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
#include "shell/posix/DesktopEntryFile.h"

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
        const ShellOutcome changed = makeContextMenuEntry()->setEntry(!checked);
        EXPECT_TRUE(changed.ok()) << changed.reason();
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
    const std::string odd = root + "/a$HOME;b`id`*";
    EXPECT_TRUE(runCommandLine("touch \"" + odd + "\"", true, ShowMode::Hidden).ok());
    EXPECT_TRUE(fs::exists(odd));
    // A program that cannot be started says why.
    for (bool wait : {true, false}) {
        EXPECT_EQ(runCommandLine("folioknife-no-such-program", wait, ShowMode::Hidden).reason(),
                  systemReason(ENOENT));
    }
    EXPECT_FALSE(runCommandLine("", true, ShowMode::Hidden).ok());
    // Without waiting the call returns at once and the program runs on its own.
    const std::string later = root + "/later";
    EXPECT_TRUE(runCommandLine("touch " + later, false, ShowMode::Maximized).ok());
    for (int i = 0; i < 500 && !fs::exists(later); ++i) usleep(10000);
    EXPECT_TRUE(fs::exists(later));
}

// An entry that cannot be written or removed says why.
TEST_F(DesktopEntryPosixTest, AChangeThatFailsSaysWhy) {
    // A file where the applications folder should be: nothing can be written below it.
    fs::create_directories(root + "/data");
    std::ofstream(root + "/data/applications") << "in the way";
    for (bool present : {true, false}) {
        const ShellOutcome changed = makeContextMenuEntry()->setEntry(present);
        EXPECT_FALSE(changed.ok()) << present;
        EXPECT_EQ(changed.reason(), systemReason(ENOTDIR)) << present;
    }
}

// The entry is written whole, whatever stood in the file before: a file manager never reads
// an entry with the old program or without its name.
TEST_F(DesktopEntryPosixTest, AWriteReplacesWhateverEntryWasThere) {
    const std::string path = desktopEntryPath();
    fs::create_directories(fs::path(path).parent_path());
    const std::string whole = desktopEntryText({"一键分割", "/opt/fk"});
    for (const char* before : {"", "[Desktop Entry]\nName=old\nExec=/old/fk %f\n", "junk"}) {
        std::ofstream(path) << before;
        DesktopEntryFile file(path);
        ASSERT_TRUE(file.write("/opt/fk").ok());
        EXPECT_EQ(entryText(), whole) << before;
        EXPECT_EQ(file.menuText(), splitter::programText("一键分割"));
    }
}

}  // namespace
}  // namespace folioknife::shell
