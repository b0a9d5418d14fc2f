// The Linux context-menu entry for real, in a temporary XDG_DATA_HOME.
#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

#include "TestText.h"
#include "fakes/FakeWindow.h"
#include "shell/ContextMenu.h"
#include "shell/DesktopEntry.h"
#include "shell/posix/DesktopEntryStore.h"

namespace folioknife::shell {
namespace {
using app::Control;
using testing::CodePageScope;
using testing::FakeWindow;

class SavedVariable {
public:
    explicit SavedVariable(const char* name) : name_(name) {
        const char* value = getenv(name);
        if (value) saved_ = value;
        had_ = value != nullptr;
    }
    ~SavedVariable() {
        if (had_) setenv(name_, saved_.c_str(), 1);
        else unsetenv(name_);
    }

private:
    const char* name_;
    std::string saved_;
    bool had_;
};

std::vector<std::string> listFolder(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
    }
    return names;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

class DesktopEntryPosixTest : public ::testing::Test {
protected:
    SavedVariable dataHome{"XDG_DATA_HOME"};
    SavedVariable home{"HOME"};
    std::string root;

    void SetUp() override {
        char pattern[] = "/tmp/fk-shell-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
    }
    void TearDown() override {
        const std::string command = "rm -rf '" + root + "'";
        ASSERT_EQ(system(command.c_str()), 0);
    }
    std::string applications() { return root + "/data/applications"; }

    // A start of the program: a fresh window and entry, then the probe.
    bool probeAtStart() {
        FakeWindow window;
        makeContextMenuEntry()->probeContextMenuEntry(window);
        return window.isChecked(Control::ContextMenuCheck);
    }
    // A click on the box of a window that was started with the given mark.
    FakeWindow clickFrom(bool checked) {
        FakeWindow window;
        window.controls[Control::ContextMenuCheck].checked = checked;
        auto entry = makeContextMenuEntry();
        window.bindClick(Control::ContextMenuCheck,
                         [&] { entry->onContextMenuCheckClicked(window); });
        window.click(Control::ContextMenuCheck);
        return window;
    }
};

TEST_F(DesktopEntryPosixTest, CheckRestartClear) {
    CodePageScope codePage("UTF-8");
    EXPECT_FALSE(probeAtStart());

    FakeWindow checking = clickFrom(false);
    EXPECT_EQ(checking.boxTexts(), std::vector<std::string>{warningText()});
    EXPECT_EQ(listFolder(applications()),
              std::vector<std::string>{"folioknife-context-menu.desktop"});
    const std::string text = readFile(desktopEntryPath());
    EXPECT_NE(text.find("\nName=一键分割\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nMimeType=text/plain;\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nNoDisplay=true\n"), std::string::npos) << text;
    EXPECT_EQ(readDesktopEntry(text).program, executablePath());
    struct stat info {};
    ASSERT_EQ(stat(applications().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    EXPECT_TRUE(probeAtStart());

    FakeWindow clearing = clickFrom(true);
    EXPECT_EQ(clearing.boxTexts(), std::vector<std::string>{warningText()});
    EXPECT_TRUE(listFolder(applications()).empty());
    EXPECT_FALSE(probeAtStart());
}

TEST_F(DesktopEntryPosixTest, NameStaysUtf8InTheFileWhateverTheCodePage) {
    CodePageScope codePage("GBK");
    clickFrom(false);
    EXPECT_NE(readFile(desktopEntryPath()).find("\nName=一键分割\n"), std::string::npos);
    DesktopEntryShell shell;
    EXPECT_EQ(shell.readRegistryText(RegistryRoot::LocalMachine, probePath(), "no"),
              testing::gbk("一键分割"));
    EXPECT_EQ(shell.readRegistryText(RegistryRoot::LocalMachine, "SOFTWARE\\x\\", "no"), "no");
}

TEST_F(DesktopEntryPosixTest, ProbeReadsTheNameOnly) {
    struct Case {
        const char* text;  // nullptr: no file
        bool checked;
    } cases[] = {
        {nullptr, false},
        {"[Desktop Entry]\nType=Application\n", false},
        {"[Desktop Entry]\nName=\n", false},
        {"[Desktop Entry]\nName=no\n", false},
        {"[Desktop Entry]\nName=No\n", true},
        {"[Desktop Entry]\nName=x\n", true},
    };
    for (const auto& c : cases) {
        unlink(desktopEntryPath().c_str());
        if (c.text) {
            mkdir((root + "/data").c_str(), 0700);
            mkdir(applications().c_str(), 0700);
            std::ofstream(desktopEntryPath(), std::ios::binary) << c.text;
        }
        EXPECT_EQ(probeAtStart(), c.checked) << (c.text ? c.text : "(no file)");
    }
}

TEST_F(DesktopEntryPosixTest, DataHomeFallsBackToHome) {
    struct Case {
        const char* dataHome;  // nullptr: unset
        std::string folder;
    } cases[] = {
        {nullptr, root + "/.local/share/applications/"},
        {"", root + "/.local/share/applications/"},
        {"relative/data", root + "/.local/share/applications/"},
        {"/x/y/", "/x/y/applications/"},
    };
    setenv("HOME", root.c_str(), 1);
    for (const auto& c : cases) {
        if (c.dataHome) setenv("XDG_DATA_HOME", c.dataHome, 1);
        else unsetenv("XDG_DATA_HOME");
        EXPECT_EQ(desktopEntryPath(), c.folder + "folioknife-context-menu.desktop");
    }
}

TEST_F(DesktopEntryPosixTest, CommandLinesStartProgramsWithoutAShell) {
    DesktopEntryShell shell;
    // Everything a shell would expand reaches the program as it was written.
    const std::string odd = root + "/a$HOME;b`id`*";
    EXPECT_TRUE(shell.runCommandLine("touch \"" + odd + "\" " + root + "/plain", true,
                                     ShowMode::Hidden));
    EXPECT_EQ(access(odd.c_str(), F_OK), 0);
    EXPECT_EQ(access((root + "/plain").c_str(), F_OK), 0);
    EXPECT_FALSE(shell.runCommandLine("folioknife-no-such-program x", true, ShowMode::Hidden));
    EXPECT_FALSE(shell.runCommandLine("   ", true, ShowMode::Hidden));
    // Only our own REG lines have a meaning here.
    EXPECT_FALSE(shell.runCommandLine("REG ADD HKCU\\x /f", false, ShowMode::Hidden));
    // Without waiting: the call returns at once, the program runs on its own.
    const std::string later = root + "/later";
    EXPECT_TRUE(shell.runCommandLine("touch " + later, false, ShowMode::Maximized));
    for (int i = 0; i < 500 && access(later.c_str(), F_OK) != 0; ++i) usleep(10000);
    EXPECT_EQ(access(later.c_str(), F_OK), 0);
}

}  // namespace
}  // namespace folioknife::shell
