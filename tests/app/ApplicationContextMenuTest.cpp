// The context-menu entry as the user meets it: the check box's probe at start and its click,
// with the warning, over the real entry and places of it kept in memory.
#include <gtest/gtest.h>

#include <set>

#include "TestText.h"
#include "app/Application.h"
#include "fakes/FakeFileService.h"
#include "fakes/FakeEntryPlaces.h"
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

// The machine's and the user's entry on Windows, before and after a click on the box.
struct EntryCase {
    const char* name;
    bool before, machineRefuses, userRefuses;
    std::set<std::string> there;  // "machine", "user"
    std::vector<std::string> log;
    bool after;
    std::set<std::string> left;
};

class ContextMenuTest : public ::testing::Test {
protected:
    CodePageScope codePage{"GBK"};
    FakeWindow window;
    testing::FakeEntryPlace* machine = nullptr;
    testing::FakeEntryPlace* user = nullptr;  // only on Windows
    std::unique_ptr<ContextMenu> menu;
    testing::FakeFileService files;
    splitter::SourceDocument document;
    NoUpdate update;
    std::unique_ptr<app::Application> app;
    const std::string program = gbk("D:\\My Tools\\分割器.exe");
    const std::string box =
        "box " + gbk("请确定您是在管理员模式下运行此程序，否则不能添加右键菜单。"
                     "\r\n注：分割文件对权限无要求。");

    void SetUp() override { makeMenu(false); }
    // The machine's entry, and on Windows the current user's after it.
    void makeMenu(bool withUser) {
        std::vector<std::unique_ptr<EntryPlace>> places;
        auto first = std::make_unique<testing::FakeEntryPlace>("machine", window.log);
        machine = first.get();
        places.push_back(std::move(first));
        user = nullptr;
        if (withUser) {
            auto second = std::make_unique<testing::FakeEntryPlace>("user", window.log);
            user = second.get();
            places.push_back(std::move(second));
        }
        menu = std::make_unique<ContextMenu>(std::move(places), program);
        app = std::make_unique<app::Application>(
            document, files, window, *menu, update,
            app::Platform{splitter::PathStyle::Windows, "D:\\output"});
        window.bindClick(Control::ContextMenuCheck, [this] { app->onContextMenuCheckClicked(); });
        window.log.clear();
    }
    void setMark(bool on) { window.controls[Control::ContextMenuCheck].checked = on; }
    void checkEntryClick(const EntryCase& c, const Text& denied) {
        SCOPED_TRACE(c.name);
        machine->refuses = c.machineRefuses ? std::optional<Text>(denied) : std::nullopt;
        user->refuses = c.userRefuses ? std::optional<Text>(denied) : std::nullopt;
        machine->text = c.there.count("machine") ? menuText() : "";
        user->text = c.there.count("user") ? menuText() : "";
        setMark(c.before);
        window.log.clear();
        window.click(Control::ContextMenuCheck);
        EXPECT_EQ(window.log, c.log);
        EXPECT_EQ(window.isChecked(Control::ContextMenuCheck), c.after);
        std::set<std::string> left;
        if (!machine->text.empty()) left.insert("machine");
        if (!user->text.empty()) left.insert("user");
        EXPECT_EQ(left, c.left);
        // The next start's probe agrees with the mark.
        EXPECT_EQ(menu->entryPresent(), c.after);
    }
};

TEST_F(ContextMenuTest, ProbeSetsTheMarkForAnyTextButNoAndNeverClearsIt) {
    struct Case {
        const char* value;  // nullptr: no entry
        bool before, after;
    } cases[] = {
        {"一键分割", false, true}, {"No", false, true}, {"NO", false, true},
        {"no", false, false},      {"", false, false},  {nullptr, false, false},
        {"no", true, true},
    };
    for (const auto& c : cases) {
        setMark(c.before);
        machine->text = c.value ? gbk(c.value) : "";
        app->probeContextMenuEntry();
        EXPECT_EQ(window.isChecked(Control::ContextMenuCheck), c.after)
            << (c.value ? c.value : "-");
    }
    EXPECT_EQ(machine->reads, 7);
    EXPECT_TRUE(window.boxes.empty());
}

TEST_F(ContextMenuTest, ClickWarnsFirstThenAddsOrRemovesByTheNewMark) {
    struct Case {
        bool before;
        std::vector<std::string> log;
        std::string program;  // that the entry starts afterwards
    } cases[] = {
        {false, {box, "write machine"}, program},
        {true, {box, "remove machine"}, ""},
    };
    for (const auto& c : cases) {
        setMark(c.before);
        window.log.clear();
        window.boxes.clear();
        window.click(Control::ContextMenuCheck);
        EXPECT_EQ(window.log, c.log) << "mark before: " << c.before;
        EXPECT_EQ(machine->program, c.program);
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
    EXPECT_EQ(window.log, (std::vector<std::string>{box, box, "remove machine", "remove machine"}));
}

// A change that fails is said, and the box goes back to what the entry is.
TEST_F(ContextMenuTest, AFailedChangeIsSaidAndTheMarkGoesBack) {
    const struct {
        bool before;
        std::vector<std::string> log;
        std::string message;
    } cases[] = {
        {false,
         {box, "write machine", "setChecked ContextMenuCheck 0"},
         "无法添加右键菜单：denied"},
        {true,
         {box, "remove machine", "setChecked ContextMenuCheck 1"},
         "无法删除右键菜单：denied"},
    };
    machine->refuses = "denied";
    for (const auto& c : cases) {
        setMark(c.before);
        window.log.clear();
        window.boxes.clear();
        window.click(Control::ContextMenuCheck);
        std::vector<std::string> log = c.log;
        log.push_back("box " + gbk(c.message));
        EXPECT_EQ(window.log, log) << c.before;
        EXPECT_EQ(window.isChecked(Control::ContextMenuCheck), c.before) << c.before;
    }
}

// Windows: a normal user may not write the machine's entry but may write their own; whatever
// cannot be done is told, and the mark goes back to what the registry has.
TEST_F(ContextMenuTest, WithoutRightsToTheMachineTheUsersEntryIsWrittenAndFailuresAreTold) {
    makeMenu(true);
    const std::string denied = gbk("拒绝访问。");
    const std::string machinePlace = "machine", userPlace = "user";
    const EntryCase cases[] = {
        {"administrator", false, false, false, {}, {box, "write machine"}, true, {machinePlace}},
        {"normal user",
         false,
         true,
         false,
         {},
         {box, "write machine", "write user"},
         true,
         {userPlace}},
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
         {machinePlace, userPlace},
         {box, "remove machine", "remove user"},
         false,
         {}},
        {"untick, the machine's kept",
         true,
         true,
         false,
         {machinePlace, userPlace},
         {box, "remove machine", "remove user", "setChecked ContextMenuCheck 1",
          "box " + gbk("无法删除右键菜单：") + denied},
         true,
         {machinePlace}},
    };
    for (const EntryCase& c : cases) checkEntryClick(c, denied);
}

}  // namespace
}  // namespace folioknife::shell
