// What each kind of control does for the user on the real window, the filter bytes of the
// open-file dialog, and the resources that every program with the window carries.
#include <gtest/gtest.h>

#include "ResourceCheck.h"
#include "TestText.h"
#include "app/win32/Win32MainWindow.h"

namespace folioknife::app::win32 {
namespace {
using testing::gbk;
using testing::hex;

class ControlBehaviourTest : public ::testing::Test {
protected:
    Win32MainWindow window{GetModuleHandleA(nullptr)};

    void SetUp() override {
        window.create(controlTable("D:\\output"),
                      OpenFileDialogSetup{openFileDialogTitle(), openFileDialogFilter()});
        if (!window.handle()) GTEST_SKIP() << "no window could be created (no display?)";
    }
    HWND h(Control c) { return window.controlHandle(c); }
};

// Typed text goes on past the edge of a narrow edit (it scrolls), the edit has one line, and
// nothing filters what is typed.
TEST_F(ControlBehaviourTest, EditsScrollAndTakeWhateverIsTyped) {
    struct Case {
        Control control;
        std::string typed;
    } cases[] = {
        {Control::PrefixEdit, std::string(300, 'x')},  // 51 pixels wide
        {Control::ChaptersPerFileEdit, "abc-1"},
        {Control::OutputDirEdit, std::string(2000, 'd')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(controlName(c.control));
        window.setText(c.control, "");
        SetFocus(h(c.control));
        for (char ch : c.typed) SendMessageA(h(c.control), WM_CHAR, static_cast<BYTE>(ch), 0);
        EXPECT_EQ(window.text(c.control), c.typed);
        EXPECT_EQ(SendMessageA(h(c.control), EM_GETLINECOUNT, 0, 0), 1);
        // A sunken edge: the client area is smaller than the control.
        RECT outer{}, inner{};
        GetWindowRect(h(c.control), &outer);
        GetClientRect(h(c.control), &inner);
        EXPECT_LT(inner.right - inner.left, outer.right - outer.left);
    }
}

// The radio buttons clear each other by themselves and the check boxes toggle, without a
// handler; push buttons and labels keep no mark.
TEST_F(ControlBehaviourTest, MarksChangeByThemselves) {
    // Each click, and every control marked after it.
    const std::pair<Control, std::string> clicks[] = {
        {Control::CustomModeRadio, "CustomModeRadio"},
        {Control::CustomModeRadio, "CustomModeRadio"},
        {Control::DefaultModeRadio, "DefaultModeRadio"},
        {Control::DeleteSourceCheck, "DefaultModeRadio DeleteSourceCheck"},
        {Control::ContextMenuCheck, "DefaultModeRadio ContextMenuCheck DeleteSourceCheck"},
        {Control::DeleteSourceCheck, "DefaultModeRadio ContextMenuCheck"},
        {Control::SplitButton, "DefaultModeRadio ContextMenuCheck"},
    };
    for (const auto& [clicked, marked] : clicks) {
        SendMessageA(h(clicked), BM_CLICK, 0, 0);
        std::string now;
        for (int i = 0; i < kControlCount; ++i) {
            const auto c = static_cast<Control>(i);
            if (window.isChecked(c)) now += (now.empty() ? "" : " ") + std::string(controlName(c));
        }
        EXPECT_EQ(now, marked) << "after a click on " << controlName(clicked);
    }
}

TEST(OpenFileFilterTest, NamesAndPatternsEndInNulsAndTheListInOneMore) {
    using namespace std::string_literals;
    struct Case {
        std::vector<FileFilter> filters;
        std::string bytes;
    } cases[] = {
        {{{gbk("文本文件(*.txt)"), "*.txt"}}, gbk("文本文件(*.txt)") + "\0*.txt\0\0"s},
        {{{"a", "*.a"}, {"b", "*.b;*.c"}}, "a\0*.a\0b\0*.b;*.c\0\0"s},
        {{}, "\0\0"s},
        // 0x81 0x7C is one GBK character whose second byte is the code of '|': taken as it is.
        {{{"\x81\x7C", "*.txt"}}, "\x81\x7C\0*.txt\0\0"s},
    };
    for (const auto& c : cases) EXPECT_EQ(hex(openFileFilterBytes(c.filters)), hex(c.bytes));
}

TEST(WindowResourcesTest, IconAndManifestAreLinkedIn) {
    EXPECT_EQ(testing::checkWindowResources(GetModuleHandleA(nullptr)), "");
}

}  // namespace
}  // namespace folioknife::app::win32
