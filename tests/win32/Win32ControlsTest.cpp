// How each kind of control is made and coloured, the filter bytes of the open-file dialog, and
// the resources that every program with the window carries.
#include <gtest/gtest.h>

#include "ResourceCheck.h"
#include "TestText.h"
#include "app/win32/Win32Controls.h"

namespace folioknife::app::win32 {
namespace {
using testing::gbk;
using testing::hex;

TEST(ControlClassTest, EachKindHasItsSystemClassAndStyles) {
    constexpr DWORD child = WS_CHILD | WS_VISIBLE;
    struct Case {
        ControlKind kind;
        const char* cls;
        DWORD style, exStyle;
    } cases[] = {
        {ControlKind::PushButton, "Button", child | WS_TABSTOP | BS_PUSHBUTTON, 0},
        {ControlKind::RadioButton, "Button",
         WS_CLIPSIBLINGS | child | WS_TABSTOP | BS_AUTORADIOBUTTON, 0},
        {ControlKind::CheckBox, "Button", WS_CLIPSIBLINGS | child | WS_TABSTOP | BS_AUTOCHECKBOX,
         0},
        {ControlKind::Edit, "Edit", child | WS_TABSTOP | ES_AUTOHSCROLL, 0x200},
        {ControlKind::Label, "Static", child | WS_TABSTOP | 0xC, 0},
        {ControlKind::GroupBox, "Button", WS_CLIPSIBLINGS | child | BS_GROUPBOX, 0},
    };
    for (const auto& c : cases) {
        const ControlClass got = controlClass(c.kind);
        SCOPED_TRACE(c.cls);
        EXPECT_STREQ(got.className, c.cls);
        EXPECT_EQ(got.style, c.style) << std::hex << got.style;
        EXPECT_EQ(got.exStyle, c.exStyle);
    }
}

TEST(ControlColoursTest, BlackOnTheFaceOrOnWhiteAndTheAuthorInGreen) {
    // Every control of the table, by its kind; push buttons keep the system's colours.
    for (const ControlSpec& entry : controlTable("D:\\output")) {
        SCOPED_TRACE(controlName(entry.control));
        const auto colours = controlColours(entry.control, entry.kind);
        if (entry.kind == ControlKind::PushButton) {
            EXPECT_FALSE(colours.has_value());
            continue;
        }
        ASSERT_TRUE(colours.has_value());
        const COLORREF text = entry.control == Control::AuthorLabel ? 0x008000 : 0x000000;
        EXPECT_EQ(colours->text, text);
        EXPECT_EQ(colours->buttonFaceBackground, entry.kind != ControlKind::Edit);
        if (entry.kind == ControlKind::Edit) {
            EXPECT_EQ(colours->background, 0xFFFFFFu);
        }
    }
}

TEST(OpenFileFilterTest, BarsBecomeNulsAndTheListEndsWithTwo) {
    using namespace std::string_literals;
    struct Case {
        std::string filter, bytes;
    } cases[] = {
        {gbk("文本文件(*.txt)|*.txt"), gbk("文本文件(*.txt)") + "\0*.txt\0\0"s},
        {"a|*.a|b|*.b;*.c", "a\0*.a\0b\0*.b;*.c\0\0"s},
        {"", "\0\0"s},
        // 0x81 0x7C is one GBK character whose second byte is the code of '|'.
        {"\x81\x7C|*.txt", "\x81\x7C\0*.txt\0\0"s},
        // A lead byte at the very end has nothing to take along.
        {"x\x81", "x\x81\0\0"s},
    };
    if (GetACP() != 936) GTEST_SKIP() << "needs code page 936";
    for (const auto& c : cases) EXPECT_EQ(hex(openFileFilterBytes(c.filter)), hex(c.bytes));
}

TEST(WindowResourcesTest, IconAndManifestAreLinkedIn) {
    EXPECT_EQ(testing::checkWindowResources(GetModuleHandleA(nullptr)), "");
}

}  // namespace
}  // namespace folioknife::app::win32
