// The registry read, the process start and the context-menu entry for real (under Wine in
// the cross build, which has its own reg.exe).
#include <windows.h>

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

#include "fakes/FakeWindow.h"
#include "shell/ContextMenu.h"
#include "shell/win32/Registry.h"

namespace folioknife::shell {
namespace {
using app::Control;
using testing::FakeWindow;

const char kTestKey[] = "Software\\folioknife-tests";

class RegistryTest : public ::testing::Test {
protected:
    HKEY key = nullptr;
    void SetUp() override {
        ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kTestKey, &key), ERROR_SUCCESS);
    }
    void TearDown() override {
        RegCloseKey(key);
        RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey);
    }
    void set(const char* name, DWORD type, const std::string& data) {
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                 static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
    }
};

TEST_F(RegistryTest, OnlyNonEmptyStringValuesCount) {
    const std::string big(3000, 'b');
    set("", REG_SZ, std::string("verb\0", 5));
    set("text", REG_SZ, std::string("text\0", 5));
    set("unterminated", REG_SZ, "abc");
    set("expand", REG_EXPAND_SZ, std::string("%PATH%\\x\0", 10));
    set("empty", REG_SZ, std::string("\0", 1));
    set("number", REG_DWORD, std::string("\1\0\0\0", 4));
    set("big", REG_SZ, big + '\0');
    set("inner", REG_SZ, std::string("a\0b\0", 4));
    struct Case {
        std::string path, value;
    } cases[] = {
        {std::string(kTestKey) + "\\", "verb"},
        {std::string(kTestKey) + "\\text", "text"},
        {std::string(kTestKey) + "\\unterminated", "abc"},
        {std::string(kTestKey) + "\\expand", "%PATH%\\x"},
        {std::string(kTestKey) + "\\empty", "no"},
        {std::string(kTestKey) + "\\number", "no"},
        {std::string(kTestKey) + "\\big", big},
        {std::string(kTestKey) + "\\inner", "a"},
        {std::string(kTestKey) + "\\missing", "no"},
        {"Software\\folioknife-no-such-key\\", "no"},
        {"", "no"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(readRegistryText(HKEY_CURRENT_USER, c.path, "no"), c.value) << c.path;
    }
}

bool waitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 300; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
}

TEST(ProcessTest, ProgramsStartWithAndWithoutWaiting) {
    EXPECT_TRUE(runCommandLine("cmd /c exit 3", true, ShowMode::Hidden));
    EXPECT_FALSE(runCommandLine("folioknife-no-such-program x", true, ShowMode::Hidden));
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    const std::string marker = std::string(folder) + "folioknife-started.txt";
    DeleteFileA(marker.c_str());
    EXPECT_TRUE(runCommandLine("cmd /c echo x > \"" + marker + "\"", false, ShowMode::Hidden));
    EXPECT_TRUE(waitFor([&] { return GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES; }));
    DeleteFileA(marker.c_str());
    EXPECT_EQ(programDirectory() + "\\" + programFileName(), executablePath());
    EXPECT_NE(executablePath().find(".exe"), std::string::npos);
}

// The REG processes are not waited for: the registry is watched until they are done.
TEST(ContextMenuWin32Test, CheckRestartClearThroughReg) {
    const auto verb = [] { return readRegistryText(HKEY_LOCAL_MACHINE, probePath(), "no"); };
    const auto command = [] {
        return readRegistryText(HKEY_LOCAL_MACHINE, probePath() + "command\\", "no");
    };
    const auto probeAtStart = [] {
        FakeWindow window;
        makeContextMenuEntry()->probeContextMenuEntry(window);
        return window.isChecked(Control::ContextMenuCheck);
    };
    const auto click = [](bool checkedBefore) {
        FakeWindow window;
        window.controls[Control::ContextMenuCheck].checked = checkedBefore;
        auto entry = makeContextMenuEntry();
        window.bindClick(Control::ContextMenuCheck, [&] { entry->onContextMenuCheckClicked(window); });
        window.click(Control::ContextMenuCheck);
        EXPECT_EQ(window.boxTexts(), std::vector<std::string>{warningText()});
    };

    runCommandLine(deleteLine(), true, ShowMode::Hidden);
    EXPECT_FALSE(probeAtStart());

    click(false);
    const std::string expected = executablePath() + " %1";
    EXPECT_TRUE(waitFor([&] { return verb() == menuText() && command() == expected; }))
        << verb() << " / " << command();
    EXPECT_TRUE(probeAtStart());

    click(true);
    EXPECT_TRUE(waitFor([&] { return verb() == "no" && command() == "no"; }));
    EXPECT_FALSE(probeAtStart());
}

}  // namespace
}  // namespace folioknife::shell
