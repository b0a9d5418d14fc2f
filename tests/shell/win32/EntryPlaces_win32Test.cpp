// The registry read, the process start and the context-menu entry for real (under Wine in
// the cross build).
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <thread>

#include "shell/ContextMenu.h"
#include "shell/win32/Registry.h"

namespace folioknife::shell {
namespace {

bool waitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 300 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return done();
}

TEST(RegistryTest, OnlyNonEmptyStringValuesCount) {
    const std::string key = "Software\\folioknife-tests";
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, key.c_str(), &h), ERROR_SUCCESS);
    const std::string big(3000, 'b');
    struct Case {
        const char* name;
        DWORD type;
        std::string data, value;
    } cases[] = {
        {"", REG_SZ, std::string("verb\0", 5), "verb"},
        {"unterminated", REG_SZ, "abc", "abc"},
        {"expand", REG_EXPAND_SZ, std::string("%PATH%\\x\0", 10), "%PATH%\\x"},
        {"empty", REG_SZ, std::string("\0", 1), "no"},
        {"number", REG_DWORD, std::string("\1\0\0\0", 4), "no"},
        {"big", REG_SZ, big + '\0', big},
        {"inner", REG_SZ, std::string("a\0b\0", 4), "a"},
    };
    for (const auto& c : cases) {
        RegSetValueExA(h, c.name, 0, c.type, reinterpret_cast<const BYTE*>(c.data.data()),
                       static_cast<DWORD>(c.data.size()));
        EXPECT_EQ(readRegistryText(HKEY_CURRENT_USER, key + "\\" + c.name, "no"), c.value)
            << c.name;
    }
    RegCloseKey(h);
    RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
    EXPECT_EQ(readRegistryText(HKEY_CURRENT_USER, key + "\\", "no"), "no");
    EXPECT_EQ(readRegistryText(HKEY_CURRENT_USER, "", "no"), "no");
}

TEST(ProcessTest, ProgramsStartWithAndWithoutWaiting) {
    EXPECT_TRUE(runCommandLine("cmd /c exit 3", true, ShowMode::Hidden).ok());
    const ShellOutcome missing =
        runCommandLine("folioknife-no-such-program x", true, ShowMode::Hidden);
    EXPECT_FALSE(missing.ok());
    EXPECT_FALSE(missing.reason().empty());  // the system's words
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    const std::string marker = std::string(folder) + "folioknife-started.txt";
    DeleteFileA(marker.c_str());
    EXPECT_TRUE(runCommandLine("cmd /c echo x > \"" + marker + "\"", false, ShowMode::Hidden).ok());
    EXPECT_TRUE(
        waitFor([&] { return GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES; }));
    DeleteFileA(marker.c_str());
    EXPECT_EQ(programDirectory() + "\\" + programFileName(executablePath(), PathStyle::Windows),
              executablePath());
}

// The registry API writes the entry at once, the menu text and the command as the user's
// Explorer reads them; the probe at the next start sees it.
TEST(ContextMenuWin32Test, CheckRestartClear) {
    const auto read = [](const std::string& below) {
        return readRegistryText(HKEY_LOCAL_MACHINE, probePath() + below, "no");
    };
    const auto probeAtStart = [] { return makeContextMenuEntry()->entryPresent(); };
    // The check box's click toggles its mark; the entry follows the new mark.
    const auto click = [](bool checkedBefore) {
        const ShellOutcome changed = makeContextMenuEntry()->setEntry(!checkedBefore);
        EXPECT_TRUE(changed.ok()) << changed.reason();
    };
    ASSERT_TRUE(makeContextMenuEntry()->setEntry(false).ok());
    EXPECT_FALSE(probeAtStart());
    click(false);
    const std::string command = executablePath() + " %1";
    EXPECT_TRUE(waitFor([&] { return read("") == menuText() && read("command\\") == command; }))
        << read("") << " / " << read("command\\");
    EXPECT_TRUE(probeAtStart());
    click(true);
    EXPECT_TRUE(waitFor([&] { return read("") == "no" && read("command\\") == "no"; }));
    EXPECT_FALSE(probeAtStart());
}

// Where the machine's entry cannot be written, the user's is, and nothing half written stays.
// A volatile key stands in for the missing rights: Windows makes no lasting key under it.
TEST(ContextMenuWin32Test, TheUsersEntryWhereTheMachinesCannotBeWritten) {
    const auto read = [](HKEY root, const std::string& path) {
        return readRegistryText(root, path, "no");
    };
    auto menu = makeContextMenuEntry();
    ASSERT_TRUE(menu->setEntry(false).ok());
    HKEY blocked = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, machineEntryKey().c_str(), 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &blocked, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(blocked);
    EXPECT_TRUE(menu->setEntry(true).ok());
    EXPECT_EQ(read(HKEY_LOCAL_MACHINE, probePath()), "no");
    EXPECT_EQ(read(HKEY_CURRENT_USER, userProbePath()), menuText());
    EXPECT_EQ(read(HKEY_CURRENT_USER, userEntryKey() + "\\command\\"), executablePath() + " %1");
    EXPECT_TRUE(makeContextMenuEntry()->entryPresent());
    EXPECT_TRUE(menu->setEntry(false).ok());
    EXPECT_EQ(read(HKEY_CURRENT_USER, userProbePath()), "no");
    EXPECT_FALSE(makeContextMenuEntry()->entryPresent());
}

}  // namespace
}  // namespace folioknife::shell
