#include <gtest/gtest.h>

#include "TestText.h"
#include "fakes/FakeShellPlatform.h"
#include "fakes/FakeWindow.h"
#include "shell/ContextMenu.h"

namespace folioknife::shell {
namespace {
using app::Control;
using testing::CodePageScope;
using testing::FakeShellPlatform;
using testing::FakeWindow;
using testing::gbk;

class ContextMenuTest : public ::testing::Test {
protected:
    CodePageScope codePage{"GBK"};
    FakeWindow window;
    FakeShellPlatform* platform = nullptr;
    std::unique_ptr<ContextMenu> menu;

    void SetUp() override {
        auto fake = std::make_unique<FakeShellPlatform>(window.log);
        platform = fake.get();
        menu = std::make_unique<ContextMenu>(std::move(fake));
        window.bindClick(Control::ContextMenuCheck,
                         [this] { menu->onContextMenuCheckClicked(window); });
        window.log.clear();
    }
    bool checked() { return window.isChecked(Control::ContextMenuCheck); }
    std::string box() { return "box " + gbk("请确定您是在管理员模式下运行此程序，否则不能添加右键菜单。\r\n注：分割文件对权限无要求。"); }
    static std::string run(const std::string& line) { return "run " + line + " [nowait hidden]"; }
};

TEST_F(ContextMenuTest, ProbeChecksTheBoxForAnyMenuTextButNo) {
    struct Case {
        const char* value;  // nullptr: no such value
        bool checked;
    } cases[] = {
        {"一键分割", true}, {"No", true}, {"NO", true}, {"no ", true},
        {"no", false},      {"", false},  {nullptr, false},
    };
    for (const auto& c : cases) {
        window.controls[Control::ContextMenuCheck].checked = false;
        platform->registry.clear();
        if (c.value) platform->registry[probePath()] = gbk(c.value);
        menu->probeContextMenuEntry(window);
        EXPECT_EQ(checked(), c.checked) << (c.value ? c.value : "(missing)");
    }
    EXPECT_EQ(platform->reads.back(), "SOFTWARE\\Classes\\txtfile\\shell\\folioknife\\|no");
    EXPECT_TRUE(window.boxes.empty());
}

TEST_F(ContextMenuTest, ProbeNeverClearsTheMark) {
    window.controls[Control::ContextMenuCheck].checked = true;
    menu->probeContextMenuEntry(window);
    EXPECT_TRUE(checked());
}

TEST_F(ContextMenuTest, ClickWarnsThenAddsOrRemovesByTheNewMark) {
    const std::string exe = gbk("D:\\My Tools\\分割器.exe");
    const std::string commandLine = "REG ADD HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\txtfile\\shell"
                                    "\\folioknife\\command /v \"\" /t REG_SZ /d \"" +
                                    exe + " %1\" /f";
    platform->path = exe;
    struct Case {
        bool before;
        std::vector<std::string> log;
    } cases[] = {
        {false, {box(), run(verbLine()), run(commandLine)}},
        {true, {box(), run(deleteLine())}},
    };
    for (const auto& c : cases) {
        window.controls[Control::ContextMenuCheck].checked = c.before;
        window.log.clear();
        window.boxes.clear();
        window.click(Control::ContextMenuCheck);
        EXPECT_EQ(window.log, c.log) << "mark before: " << c.before;
        ASSERT_EQ(window.boxes.size(), 1u);
        EXPECT_EQ(window.boxes[0].title, gbk("信息"));
        EXPECT_EQ(window.boxes[0].flags, 0u);
        EXPECT_NE(window.boxes[0].text.find("\r\n"), std::string::npos);
    }
}

TEST_F(ContextMenuTest, EachNestedClickActsOnTheMarkAfterItsOwnBox) {
    // The box has no owner: the user clears the box again while the first warning is up.
    window.whileBoxShown = [this](const FakeWindow::Box&) { window.click(Control::ContextMenuCheck); };
    window.click(Control::ContextMenuCheck);
    EXPECT_FALSE(checked());
    EXPECT_EQ(window.log,
              (std::vector<std::string>{box(), box(), run(deleteLine()), run(deleteLine())}));
}

}  // namespace
}  // namespace folioknife::shell
