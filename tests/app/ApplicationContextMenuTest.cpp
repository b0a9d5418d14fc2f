// The context-menu entry as the user meets it: the check box's probe at start and its click,
// with the warning, over the real entry and a registry and process start kept in memory.
#include <gtest/gtest.h>

#include <set>

#include "TestText.h"
#include "app/Application.h"
#include "fakes/FakeFileService.h"
#include "fakes/FakeShellPlatform.h"
#include "fakes/FakeWindow.h"
#include "shell/ContextMenu.h"

namespace folioknife::shell {
namespace {
using app::Control;

struct NoUpdate : update::UpdateCheck {
    void startUpdateCheck() override {}
};
using testing::CodePageScope;
using testing::FakeWindow;
using testing::gbk;

class ContextMenuTest : public ::testing::Test {
protected:
    CodePageScope codePage{"GBK"};
    FakeWindow window;
    testing::FakeShellPlatform* platform = nullptr;
    std::unique_ptr<ContextMenu> menu;
    testing::FakeFileService files;
    splitter::SourceDocument document;
    NoUpdate update;
    std::unique_ptr<app::Application> app;
    const std::string box =
        "box " + gbk("请确定您是在管理员模式下运行此程序，否则不能添加右键菜单。"
                     "\r\n注：分割文件对权限无要求。");

    void SetUp() override {
        auto fake = std::make_unique<testing::FakeShellPlatform>(window.log);
        platform = fake.get();
        menu = std::make_unique<ContextMenu>(std::move(fake));
        app = std::make_unique<app::Application>(
            document, files, window, *menu, update,
            app::Platform{splitter::PathStyle::Windows, "D:\\output"});
        window.bindClick(Control::ContextMenuCheck, [this] { app->onContextMenuCheckClicked(); });
        window.log.clear();
    }
    void setMark(bool on) { window.controls[Control::ContextMenuCheck].checked = on; }
    static std::string run(const std::string& line) { return "run " + line + " [to its end]"; }
};

TEST_F(ContextMenuTest, ProbeSetsTheMarkForAnyTextButNoAndNeverClearsIt) {
    struct Case {
        const char* value;  // nullptr: no such value
        bool before, after;
    } cases[] = {
        {"一键分割", false, true}, {"No", false, true}, {"NO", false, true},
        {"no", false, false},      {"", false, false},  {nullptr, false, false},
        {"no", true, true},
    };
    for (const auto& c : cases) {
        setMark(c.before);
        platform->registry.clear();
        if (c.value) platform->registry[probePath()] = gbk(c.value);
        app->probeContextMenuEntry();
        EXPECT_EQ(window.isChecked(Control::ContextMenuCheck), c.after)
            << (c.value ? c.value : "-");
    }
    EXPECT_EQ(platform->reads.back(), "SOFTWARE\\Classes\\txtfile\\shell\\folioknife\\|no");
    EXPECT_TRUE(window.boxes.empty());
}

TEST_F(ContextMenuTest, ClickWarnsFirstThenAddsOrRemovesByTheNewMark) {
    platform->path = gbk("D:\\My Tools\\分割器.exe");
    const std::string commandLine = "REG ADD " +
                                    std::string(
                                        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\txtfile"
                                        "\\shell\\folioknife\\command /v \"\" /t REG_SZ "
                                        "/d \"") +
                                    platform->path + " %1\" /f";
    struct Case {
        bool before;
        std::vector<std::string> log;
    } cases[] = {
        {false, {box, run(verbLine()), run(commandLine)}},
        {true, {box, run(deleteLine())}},
    };
    for (const auto& c : cases) {
        setMark(c.before);
        window.log.clear();
        window.boxes.clear();
        window.click(Control::ContextMenuCheck);
        EXPECT_EQ(window.log, c.log) << "mark before: " << c.before;
        ASSERT_EQ(window.boxes.size(), 1u);
        EXPECT_EQ(window.boxes[0].title, gbk("信息"));
        EXPECT_EQ(window.boxes[0].buttons, app::MessageBoxButtons::Ok);
    }
}

TEST_F(ContextMenuTest, ANestedClickAndTheOuterOneBothActOnTheMarkAfterTheirBoxes) {
    // The box has no owner: the user clears the mark again while the first warning is up.
    window.whileBoxShown = [this](const FakeWindow::Box&) {
        window.click(Control::ContextMenuCheck);
    };
    window.click(Control::ContextMenuCheck);
    EXPECT_EQ(window.log,
              (std::vector<std::string>{box, box, run(deleteLine()), run(deleteLine())}));
}

// A change that fails is said, the lines after it are not run, and the box goes back to what
// the entry is.
TEST_F(ContextMenuTest, AFailedChangeIsSaidAndTheMarkGoesBack) {
    const struct {
        bool before;
        std::string failing;
        std::vector<std::string> log;
        std::string message;
    } cases[] = {
        {false,
         "REG ADD",
         {box, run(verbLine()), "setChecked ContextMenuCheck 0"},
         "无法添加右键菜单：denied"},
        {true,
         "REG DELETE",
         {box, run(deleteLine()), "setChecked ContextMenuCheck 1"},
         "无法删除右键菜单：denied"},
    };
    for (const auto& c : cases) {
        setMark(c.before);
        platform->failing = c.failing;
        window.log.clear();
        window.boxes.clear();
        window.click(Control::ContextMenuCheck);
        std::vector<std::string> log = c.log;
        log.push_back("box " + gbk(c.message));
        EXPECT_EQ(window.log, log) << c.failing;
        EXPECT_EQ(window.isChecked(Control::ContextMenuCheck), c.before) << c.failing;
    }
}

// Windows: a normal user may not write the machine's entry but may write their own; whatever
// cannot be done is told, and the mark goes back to what the registry has.
TEST_F(ContextMenuTest, WithoutRightsToTheMachineTheUsersEntryIsWrittenAndFailuresAreTold) {
    platform->userEntry = true;
    const std::string denied = gbk("拒绝访问。");
    const std::string machine = probePath(), user = userProbePath();
    struct Case {
        const char* name;
        bool before, machineRefuses, userRefuses;
        std::set<std::string> there;
        std::vector<std::string> log;
        bool after;
        std::set<std::string> left;
    } cases[] = {
        {"administrator", false, false, false, {}, {box, "write machine"}, true, {machine}},
        {"normal user", false, true, false, {}, {box, "write machine", "write user"}, true, {user}},
        {"nothing writable",
         false,
         true,
         true,
         {},
         {box, "write machine", "write user", "setChecked ContextMenuCheck 0",
          "box " + gbk("无法添加右键菜单：") + denied},
         false,
         {}},
        {"untick both",
         true,
         false,
         false,
         {machine, user},
         {box, "remove machine", "remove user"},
         false,
         {}},
        {"untick, the machine's kept",
         true,
         true,
         false,
         {machine, user},
         {box, "remove machine", "remove user", "setChecked ContextMenuCheck 1",
          "box " + gbk("无法删除右键菜单：") + denied},
         true,
         {machine}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform->machineRefuses = c.machineRefuses ? std::optional<Text>(denied) : std::nullopt;
        platform->userRefuses = c.userRefuses ? std::optional<Text>(denied) : std::nullopt;
        platform->registry.clear();
        for (const auto& at : c.there) platform->registry[at] = menuText();
        setMark(c.before);
        window.log.clear();
        window.click(Control::ContextMenuCheck);
        EXPECT_EQ(window.log, c.log);
        EXPECT_EQ(window.isChecked(Control::ContextMenuCheck), c.after);
        std::set<std::string> left;
        for (const auto& [at, value] : platform->registry) left.insert(at);
        EXPECT_EQ(left, c.left);
        // The next start's probe agrees with the mark.
        EXPECT_EQ(menu->entryPresent(), c.after);
    }
}

}  // namespace
}  // namespace folioknife::shell
