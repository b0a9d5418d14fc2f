// What only the real Win32 window has, under Wine (or Windows): its class and styles, the
// controls' classes, styles and font, the colours it answers, which WM_COMMAND is a click, the
// loop, the open-file dialog's structure and the folder browser's tree. What every window does
// is in the window contract (Win32WindowConformanceTest.cpp). Needs a display; without one the
// tests skip.
// clang-format off
#include <windows.h>  // before the other system headers, which rely on it
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
// clang-format on
#include <gtest/gtest.h>

#include <cstring>

#include "TestText.h"
#include "WindowDriver.h"
#include "app/Application.h"
#include "app/win32/Win32MainWindow.h"

namespace folioknife::app::win32 {
namespace {
using testing::DialogDriver;
using testing::findChild;
using testing::gbk;
using testing::hex;

class WindowTest : public ::testing::Test {
protected:
    Win32MainWindow window{GetModuleHandleA(nullptr)};
    std::vector<ControlLayout> table = controlTable("D:\\output");

    void SetUp() override {
        if (GetACP() != 936) GTEST_SKIP() << "needs code page 936 (LANG=zh_CN.UTF-8 under Wine)";
        window.create(table, OpenFileDialogSetup{openFileDialogTitle(), openFileDialogFilter()});
        if (!window.handle()) GTEST_SKIP() << "no window could be created (no display?)";
    }
    HWND h(Control c) { return window.controlHandle(c); }
    // Lets the window process what was posted to it.
    static void pump() {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    }
};

TEST_F(WindowTest, TheWindowIsAFixedWTWindowWithACloseBoxOnly) {
    HWND w = window.handle();
    EXPECT_EQ(testing::className(w), "WTWindow");
    EXPECT_EQ(GetClassLongPtrA(w, GCL_STYLE), CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS);
    EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrA(w, GCLP_HCURSOR)),
              LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
    EXPECT_EQ(reinterpret_cast<HICON>(GetClassLongPtrA(w, GCLP_HICON)),
              LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION)));
    EXPECT_EQ(GetClassLongPtrA(w, GCLP_HBRBACKGROUND), COLOR_BTNFACE + 1);
    EXPECT_EQ(GetClassLongPtrA(w, GCL_CBWNDEXTRA), 0);
    EXPECT_EQ(GetClassLongPtrA(w, GCL_CBCLSEXTRA), 0);
    EXPECT_EQ(GetClassLongPtrA(w, GCLP_MENUNAME), 0);

    const LONG style = GetWindowLongA(w, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION) << "an overlapped window gets a caption";
    for (DWORD absent : {DWORD{WS_MINIMIZEBOX}, DWORD{WS_MAXIMIZEBOX}, DWORD{WS_THICKFRAME},
                         DWORD{WS_CHILD}, DWORD{WS_POPUP}})
        EXPECT_FALSE(static_cast<DWORD>(style) & absent) << std::hex << absent;
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_EQ(
        GetWindowLongA(w, GWL_EXSTYLE) & (WS_EX_CLIENTEDGE | WS_EX_TOOLWINDOW | WS_EX_TOPMOST), 0);
    EXPECT_EQ(GetParent(w), nullptr);
    EXPECT_EQ(GetWindow(w, GW_OWNER), nullptr);
    EXPECT_EQ(GetMenu(w), nullptr);
    EXPECT_TRUE(GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);  // Explorer's drops

    RECT r{};
    GetWindowRect(w, &r);
    EXPECT_EQ(r.right - r.left, 431);
    EXPECT_EQ(r.bottom - r.top, 299);

    // The title is completed by the start-up, not by the window.
    EXPECT_EQ(window.title(), "Tarvelle V");
    window.setTitle("Tarvelle V0.7");
    EXPECT_EQ(testing::windowText(w), "Tarvelle V0.7");

    // Icon 128 of the module as the small icon; no large one.
    EXPECT_NE(SendMessageA(w, WM_GETICON, ICON_SMALL, 0), 0);
    EXPECT_EQ(SendMessageA(w, WM_GETICON, ICON_BIG, 0), 0);
}

struct KindExpectation {
    ControlKind kind;
    const char* cls;
    LONG typeMask;  // the bits that give the control's type
    LONG type;
    bool tabStop;
    bool clipSiblings;
    LONG exStyle;
};

const KindExpectation kKinds[] = {
    {ControlKind::PushButton, "Button", BS_TYPEMASK, BS_PUSHBUTTON, true, false, 0},
    {ControlKind::RadioButton, "Button", BS_TYPEMASK, BS_AUTORADIOBUTTON, true, true, 0},
    {ControlKind::CheckBox, "Button", BS_TYPEMASK, BS_AUTOCHECKBOX, true, true, 0},
    {ControlKind::Edit, "Edit", ES_AUTOHSCROLL | ES_MULTILINE | ES_NUMBER | ES_CENTER | ES_RIGHT,
     ES_AUTOHSCROLL, true, false, WS_EX_CLIENTEDGE},
    {ControlKind::Label, "Static", SS_TYPEMASK, SS_LEFTNOWORDWRAP, true, false, 0},
    {ControlKind::GroupBox, "Button", BS_TYPEMASK, BS_GROUPBOX, false, true, 0},
};

const KindExpectation& expectationFor(ControlKind kind) {
    for (const auto& k : kKinds)
        if (k.kind == kind) return k;
    throw std::logic_error("unknown kind");
}

TEST_F(WindowTest, ControlsStandInCreationOrderWithTheirIdsClassesStylesAndFont) {
    HFONT guiFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    // Children are linked in creation order; the identifiers count up from 501 in that order.
    HWND child = GetWindow(window.handle(), GW_CHILD);
    for (std::size_t i = 0; i < table.size(); ++i, child = GetWindow(child, GW_HWNDNEXT)) {
        const ControlLayout& entry = table[i];
        const KindExpectation& k = expectationFor(entry.kind);
        SCOPED_TRACE(controlName(entry.control));
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(child, h(entry.control));
        EXPECT_EQ(GetDlgCtrlID(child), 501 + static_cast<int>(i));
        EXPECT_EQ(testing::className(child), k.cls);
        const LONG style = GetWindowLongA(child, GWL_STYLE);
        EXPECT_EQ(style & k.typeMask, k.type) << std::hex << style;
        EXPECT_EQ((style & WS_TABSTOP) != 0, k.tabStop);
        EXPECT_EQ((style & WS_CLIPSIBLINGS) != 0, k.clipSiblings);
        EXPECT_TRUE(style & WS_CHILD);
        EXPECT_TRUE(style & WS_VISIBLE);
        EXPECT_EQ(GetWindowLongA(child, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, k.exStyle);
        EXPECT_EQ(hex(testing::windowText(child)), hex(entry.caption));
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0)), guiFont);
        if (entry.kind == ControlKind::RadioButton || entry.kind == ControlKind::CheckBox) {
            EXPECT_EQ(SendMessageA(child, BM_GETCHECK, 0, 0), entry.checked ? BST_CHECKED : 0);
        }
    }
    EXPECT_EQ(child, nullptr) << "more children than controls";
}

TEST_F(WindowTest, PresetsAreTheProgramsOwnBytes) {
    struct Case {
        Control control;
        std::string text;
        bool enabled, checked;
    } cases[] = {
        {Control::DefaultModeRadio, gbk("默认模式"), true, true},
        {Control::CustomModeRadio, gbk("自定义"), true, false},
        {Control::PrefixEdit, gbk("第"), true, false},
        {Control::SuffixEdit, gbk("章"), true, false},
        {Control::ExpressionEdit, "", false, false},
        {Control::ChaptersPerFileEdit, "10", true, false},
        {Control::OutputDirEdit, "D:\\output", true, false},
        {Control::ContextMenuCheck, gbk("添加\"一键分割\"右键菜单"), true, false},
        {Control::OpenButton, gbk("打开"), true, false},
        {Control::SplitButton, gbk("分割"), true, false},
        {Control::AssistMenuButton, "\xA8\x8B", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(controlName(c.control));
        EXPECT_EQ(hex(window.text(c.control)), hex(c.text));
        EXPECT_EQ(IsWindowEnabled(h(c.control)) != FALSE, c.enabled);
        EXPECT_EQ(window.isChecked(c.control), c.checked);
    }
}

// A character typed into the expression that GBK lacks is kept as its code point; other edits
// show '?' for it, as they can hold no such text.
TEST_F(WindowTest, TheExpressionKeepsACharacterTheCodePageLacks) {
    struct Case {
        Control control;
        const wchar_t* typed;
        std::string text;
    } cases[] = {
        {Control::ExpressionEdit, L"^[\u2606\u2726].{1,30}$", gbk("^[☆") + "\\x{2726}].{1,30}$"},
        {Control::ExpressionEdit, L"\u7B2C\\d+\u7AE0", gbk("第\\d+章")},
        {Control::PrefixEdit, L"\u2726", "?"},
    };
    for (const auto& c : cases) {
        SetWindowTextW(h(c.control), c.typed);
        EXPECT_EQ(hex(window.text(c.control)), hex(c.text)) << controlName(c.control);
    }
}

TEST(OpenFileDialog, IsOwnedExplorerStyleAndStartsEmpty) {
    std::wstring file = L"left from the last time", name = L"last.txt";
    const std::wstring title = L"\u6253\u5F00\u6587\u4EF6";  // 打开文件
    const std::wstring filter = std::wstring(L"\u6587\u672C\u6587\u4EF6(*.txt)") + L'\0' +
                                L"*.txt" + L'\0' + L'\0';  // 文本文件
    const HWND owner = reinterpret_cast<HWND>(0x1234);
    const OPENFILENAMEW d = describeOpenFileDialog(owner, title, filter, file, name);
    EXPECT_EQ(d.lStructSize, sizeof(OPENFILENAMEW));
    EXPECT_EQ(d.hwndOwner, owner);
    EXPECT_EQ(d.Flags, static_cast<DWORD>(OFN_EXPLORER));
    EXPECT_EQ(d.lpstrFile, file.data());
    EXPECT_EQ(d.nMaxFile, 65535u);
    EXPECT_EQ(file, std::wstring(65535, L'\0'));
    EXPECT_EQ(d.lpstrFileTitle, name.data());
    EXPECT_EQ(d.nMaxFileTitle, 260u);
    EXPECT_EQ(name, std::wstring(260, L'\0'));
    EXPECT_EQ(d.nFilterIndex, 0u);
    EXPECT_EQ(d.lpstrInitialDir, nullptr);
    EXPECT_EQ(d.lpstrDefExt, nullptr);
    EXPECT_EQ(d.lpstrCustomFilter, nullptr);
    EXPECT_EQ(d.lpstrTitle, title.c_str());
    EXPECT_EQ(d.lpstrFilter, filter.c_str());
}

TEST_F(WindowTest, ColoursAreAnsweredByControlWhateverTheMessage) {
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const COLORREF white = RGB(255, 255, 255), black = RGB(0, 0, 0), green = RGB(0, 128, 0);
    struct Case {
        Control control;
        UINT message;
        COLORREF text, background;
    } cases[] = {
        {Control::DefaultModeRadio, WM_CTLCOLORSTATIC, black, face},
        {Control::DeleteSourceCheck, WM_CTLCOLORSTATIC, black, face},
        {Control::ParamsGroup, WM_CTLCOLORSTATIC, black, face},
        {Control::ExpressionLabel, WM_CTLCOLORSTATIC, black, face},
        {Control::AuthorLabel, WM_CTLCOLORSTATIC, green, face},
        {Control::PrefixEdit, WM_CTLCOLOREDIT, black, white},
        // A disabled edit asks as a static control does; it keeps its white.
        {Control::ExpressionEdit, WM_CTLCOLORSTATIC, black, white},
        {Control::OutputDirEdit, WM_CTLCOLOREDIT, black, white},
        {Control::MiscGroup, WM_CTLCOLORBTN, black, face},
    };
    HDC dc = CreateCompatibleDC(nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(controlName(c.control));
        SetTextColor(dc, RGB(1, 2, 3));
        SetBkColor(dc, RGB(4, 5, 6));
        auto brush = reinterpret_cast<HBRUSH>(SendMessageA(window.handle(), c.message,
                                                           reinterpret_cast<WPARAM>(dc),
                                                           reinterpret_cast<LPARAM>(h(c.control))));
        ASSERT_NE(brush, nullptr);
        LOGBRUSH logBrush{};
        ASSERT_EQ(GetObjectA(brush, sizeof logBrush, &logBrush), static_cast<int>(sizeof logBrush));
        EXPECT_EQ(logBrush.lbStyle, static_cast<UINT>(BS_SOLID));
        EXPECT_EQ(logBrush.lbColor, c.background);
        EXPECT_EQ(GetTextColor(dc), c.text);
        EXPECT_EQ(GetBkColor(dc), c.background);
        // Made once, not for every answer.
        auto again = reinterpret_cast<HBRUSH>(SendMessageA(window.handle(), c.message,
                                                           reinterpret_cast<WPARAM>(dc),
                                                           reinterpret_cast<LPARAM>(h(c.control))));
        EXPECT_EQ(again, brush);
    }
    // Push buttons keep the system's colours: the answer is the default one.
    HDC reference = CreateCompatibleDC(nullptr);
    for (UINT message : {WM_CTLCOLORBTN, WM_CTLCOLORSTATIC}) {
        const auto button = reinterpret_cast<LPARAM>(h(Control::SplitButton));
        const LRESULT ours =
            SendMessageA(window.handle(), message, reinterpret_cast<WPARAM>(dc), button);
        const LRESULT system =
            DefWindowProcA(window.handle(), message, reinterpret_cast<WPARAM>(reference), button);
        EXPECT_EQ(ours, system);
        EXPECT_EQ(GetTextColor(dc), GetTextColor(reference));
        EXPECT_EQ(GetBkColor(dc), GetBkColor(reference));
    }
    DeleteDC(reference);
    DeleteDC(dc);
}

// A mark is the button's state: BM_SETCHECK, and any non-zero state counts.
TEST_F(WindowTest, MarksAreTheButtonsCheckState) {
    window.setChecked(Control::DeleteSourceCheck, true);
    EXPECT_EQ(SendMessageA(h(Control::DeleteSourceCheck), BM_GETCHECK, 0, 0), BST_CHECKED);
    SendMessageA(h(Control::ContextMenuCheck), BM_SETSTYLE, BS_3STATE, FALSE);
    SendMessageA(h(Control::ContextMenuCheck), BM_SETCHECK, BST_INDETERMINATE, 0);
    EXPECT_TRUE(window.isChecked(Control::ContextMenuCheck));
}

TEST_F(WindowTest, OnlyBnClickedFromAControlIsAClick) {
    int clicks = 0;
    window.bindClick(Control::SplitButton, [&] { ++clicks; });
    const int id = GetDlgCtrlID(h(Control::SplitButton));
    const auto button = reinterpret_cast<LPARAM>(h(Control::SplitButton));
    struct Case {
        WPARAM wParam;
        LPARAM lParam;
        int clicks;
    } cases[] = {
        {MAKEWPARAM(id, BN_CLICKED), button, 1},
        {MAKEWPARAM(id, BN_DOUBLECLICKED), button, 0},
        {MAKEWPARAM(id, BN_SETFOCUS), button, 0},
        {MAKEWPARAM(id, BN_CLICKED), 0, 0},  // a menu or an accelerator
        {MAKEWPARAM(id + 100, BN_CLICKED), button, 0},
    };
    for (const auto& c : cases) {
        clicks = 0;
        SendMessageA(window.handle(), WM_COMMAND, c.wParam, c.lParam);
        EXPECT_EQ(clicks, c.clicks) << std::hex << c.wParam << " " << c.lParam;
    }
}

// The controls are gone with the window; operations on them do nothing.
TEST_F(WindowTest, OnceClosedTheControlsAreGoneAndOperationsDoNothing) {
    window.bindDestroyed([&] { window.postQuit(0); });
    PostMessageA(window.handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(window.runMessageLoop(), 0);
    EXPECT_EQ(window.handle(), nullptr);
    EXPECT_EQ(window.text(Control::OutputDirEdit), "");
    EXPECT_FALSE(window.isChecked(Control::DefaultModeRadio));
    window.setText(Control::OutputDirEdit, "x");
    window.setEnabled(Control::OpenButton, false);
    window.setChecked(Control::DeleteSourceCheck, true);
}

TEST_F(WindowTest, TheLoopDispatchesUntilQuitAndGivesItsCode) {
    // The thread message before the quit is dispatched; the quit code ends the loop.
    PostThreadMessageA(GetCurrentThreadId(), WM_USER, 42, 0);
    PostQuitMessage(5);
    EXPECT_EQ(runMessageLoop(), 5);
    pump();  // a quit left in the queue must not reach the next test
    MSG m;
    while (PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

// The display name the shell gives a folder, as the browser's tree shows it.
std::string displayName(PCIDLIST_ABSOLUTE item) {
    SHFILEINFOA info{};
    SHGetFileInfoA(reinterpret_cast<LPCSTR>(item), 0, &info, sizeof info,
                   SHGFI_PIDL | SHGFI_DISPLAYNAME);
    return info.szDisplayName;
}

std::string specialFolderName(int csidl) {
    PIDLIST_ABSOLUTE item = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &item))) return std::string();
    std::string name = displayName(item);
    CoTaskMemFree(item);
    return name;
}

std::string treeItemText(HWND tree, HTREEITEM item) {
    char text[MAX_PATH] = "";
    TVITEMA tv{};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
    return text;
}

// The child of parent (the root when null) shown with the given text, expanding parent first.
HTREEITEM treeChild(HWND tree, HTREEITEM parent, const std::string& text, std::string& seen) {
    if (!parent) {
        auto root = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        seen += "root \"" + treeItemText(tree, root) + "\"\n";
        return root;
    }
    SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parent));
    for (auto item = reinterpret_cast<HTREEITEM>(
             SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(parent)));
         item; item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT,
                                                               reinterpret_cast<LPARAM>(item)))) {
        const std::string itemText = treeItemText(tree, item);
        seen += "  \"" + itemText + "\"\n";
        if (itemText == text) return item;
    }
    return nullptr;
}

// Where the shell's tree gives no plain folder (the contract chooses the desktop).
// What the folder browser showed, and whether the tree held the path to choose.
struct BrowserSeen {
    HWND owner = nullptr;
    bool mainEnabled = true, found = true;
    std::string children, seen;
};

// Chooses the item at the end of path (tree texts from the root down) in the browser, or
// cancels it when path is empty or not in the tree.
BrowserSeen chooseInBrowser(HWND dialog, HWND main, const std::vector<std::string>& path) {
    BrowserSeen shown;
    // The browser fills its tree in after it is shown.
    for (int i = 0; i < 200 && !SendMessageA(findChild(dialog, "SysTreeView32"), TVM_GETNEXTITEM,
                                             TVGN_ROOT, 0);
         ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    shown.owner = GetWindow(dialog, GW_OWNER);
    shown.mainEnabled = IsWindowEnabled(main);
    shown.children = testing::describeChildren(dialog);
    HWND tree = findChild(dialog, "SysTreeView32");
    HTREEITEM item = nullptr;
    for (const std::string& step : path) {
        item = treeChild(tree, item, step, shown.seen);
        if (!item) break;
    }
    shown.found = path.empty() || item;
    if (!path.empty() && item) {
        SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    } else {
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }
    return shown;
}

TEST_F(WindowTest, TheFolderBrowserGivesADrivesRootAndNothingForAVirtualFolder) {
    const std::string title = gbk("选择输出文本目录");
    const std::string computer = specialFolderName(CSIDL_DRIVES);
    SHFILEINFOA info{};
    SHGetFileInfoA("C:\\", 0, &info, sizeof info, SHGFI_DISPLAYNAME);
    const std::string driveName = info.szDisplayName;
    struct Case {
        const char* what;
        std::vector<std::string> path;  // tree texts from the root down; empty = cancel
        std::string result;
    } cases[] = {
        {"a drive root keeps its backslash", {"", computer, driveName}, "C:\\"},
        {"a virtual folder has no path", {"", computer}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        window.setText(Control::OutputDirEdit, "before");
        SetForegroundWindow(window.handle());
        SetActiveWindow(window.handle());
        DialogDriver driver;
        BrowserSeen shown;
        Text result = "unset";
        driver.run([&] { result = window.browseForFolder(title); },
                   [&](HWND dialog) { shown = chooseInBrowser(dialog, window.handle(), c.path); });
        EXPECT_TRUE(driver.notes.empty()) << driver.notes.front();
        ASSERT_TRUE(shown.found) << shown.seen;
        EXPECT_EQ(shown.owner, window.handle());
        EXPECT_FALSE(shown.mainEnabled);
        EXPECT_NE(shown.children.find("\"" + title + "\""), std::string::npos) << shown.children;
        EXPECT_EQ(hex(result), hex(c.result)) << shown.seen;
        EXPECT_TRUE(IsWindowEnabled(window.handle()));
    }
}

}  // namespace
}  // namespace folioknife::app::win32
