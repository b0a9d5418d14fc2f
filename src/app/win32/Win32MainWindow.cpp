#include "app/win32/Win32MainWindow.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <optional>
#include <utility>
#include <vector>

#include "splitter/PastedExpression.h"
#include "splitter/win32/WideText.h"

namespace folioknife::app::win32 {

using splitter::fromWideForDisplay;
using splitter::toWideForDisplay;

namespace {

constexpr wchar_t kWindowClass[] = L"WTWindow";
constexpr int kIconResource = 128;
constexpr DWORD kFileBufferSize = 65535;
constexpr DWORD kFileTitleBufferSize = 260;

// Every text goes to and comes from Windows as UTF-16, so that it is right whatever the system's
// code page. A text the program's code page cannot write (a character typed or a file named
// in another script) comes back with '?' for what it lacks: a path that names no file then,
// never another one.

// A GetWindowTextW of the length GetWindowTextLengthW gives, plus the NUL; the text ends at
// its first NUL.
std::wstring wideWindowText(HWND window) {
    if (!window) return std::wstring();
    const int length = GetWindowTextLengthW(window);
    if (length <= 0) return std::wstring();
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(window, buffer.data(), length + 1);
    return buffer.data();
}

Text windowText(HWND window) { return fromWideForDisplay(wideWindowText(window)); }

// The expression is matched by characters, whatever the program's code page: a character the
// code page lacks (✦ on a Chinese system) is kept as its code point, \x{2726}, not as '?'.
Text expressionText(HWND window) {
    const std::string utf8 = splitter::utf8FromWide(wideWindowText(window));
    return splitter::expressionInCodePage(utf8, splitter::programCodePage()).text;
}

void setWindowText(HWND window, const Text& text) {
    SetWindowTextW(window, toWideForDisplay(text).c_str());
}

// The paths of a drop, in the program's code page.
std::vector<Text> droppedFiles(HDROP drop) {
    std::vector<Text> files;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::vector<wchar_t> path(static_cast<std::size_t>(length) + 1, L'\0');
        DragQueryFileW(drop, i, path.data(), length + 1);
        files.push_back(fromWideForDisplay(path.data()));
    }
    return files;
}

HCURSOR waitCursor() { return LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)); }

}  // namespace

int runMessageLoop() {
    MSG message{};
    // GetMessageW gives -1 on an invalid argument, which it never gets here.
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

Win32MainWindow::Win32MainWindow(HINSTANCE moduleHandle) : moduleHandle_(moduleHandle) {}

Win32MainWindow::~Win32MainWindow() {
    // The handlers may refer to objects that are already gone; a window that still stands is
    // taken down without them.
    for (std::size_t i = 0; i < controls_.size(); ++i)
        MainWindow::bindClick(static_cast<Control>(i), nullptr);
    MainWindow::bindDestroyed(nullptr);
    MainWindow::bindFileDrop(nullptr, nullptr);
    if (window_ && IsWindow(window_)) DestroyWindow(window_);
    if (buttonFaceBrush_) DeleteObject(buttonFaceBrush_);
    for (auto& [rgb, brush] : ownBrushes_) DeleteObject(brush);
}

void Win32MainWindow::createWindow(const Text& title, const WindowLayout& layout) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = &Win32MainWindow::windowProcedure;
    windowClass.hInstance = moduleHandle_;
    windowClass.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = kWindowClass;
    // Fails harmlessly when the class is already there (a second window in one process).
    RegisterClassExW(&windowClass);

    if (!buttonFaceBrush_) buttonFaceBrush_ = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    font_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    controls_ = {};
    openFileDialogSetUp_ = false;

    // WS_SYSMENU alone: the system adds the caption and a thin fixed border, a close box and no
    // other. The window procedure finds this object through the creation parameter.
    window_ = CreateWindowExW(0, kWindowClass, toWideForDisplay(title).c_str(), WS_SYSMENU,
                              layout.x, layout.y, layout.width, layout.height, nullptr, nullptr,
                              moduleHandle_, this);
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    // Files dropped from Explorer arrive as WM_DROPFILES. A program started as administrator
    // (as adding the context-menu entry may need) would not get them from an Explorer that
    // runs without: let the drop's messages through.
    DragAcceptFiles(window_, TRUE);
    for (UINT message : {UINT{WM_DROPFILES}, UINT{WM_COPYDATA}, UINT{0x0049}})  // WM_COPYGLOBALDATA
        ChangeWindowMessageFilterEx(window_, message, MSGFLT_ALLOW, nullptr);
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
    HICON icon = LoadIconW(moduleHandle_, MAKEINTRESOURCEW(kIconResource));
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

void Win32MainWindow::createControl(const ControlLayout& layout, int id) {
    const ControlClass cls = controlClass(layout.kind);
    HWND control =
        CreateWindowExW(cls.exStyle, cls.className, toWideForDisplay(layout.caption).c_str(),
                        cls.style, layout.x, layout.y, layout.width, layout.height, window_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), moduleHandle_, nullptr);
    Slot& slot = controls_[static_cast<std::size_t>(layout.control)];
    slot.handle = control;
    slot.colours = layout.colours;
    if (layout.colours.background == ControlColours::Background::Own &&
        !ownBrushes_.count(layout.colours.own))
        ownBrushes_[layout.colours.own] = CreateSolidBrush(colourRef(layout.colours.own));
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    // Colours are given when the control asks for them (WM_CTLCOLOR...).
    if (layout.checked) SendMessageW(control, BM_SETCHECK, BST_CHECKED, 0);
    if (!layout.enabled) EnableWindow(control, FALSE);
}

void Win32MainWindow::setUpOpenFileDialog(const OpenFileDialogSetup& dialog) {
    openFileTitle_ = toWideForDisplay(dialog.title);
    // The NULs between the entries convert as they are.
    openFileFilter_ = toWideForDisplay(openFileFilterBytes(dialog.filters));
    openFileDialogSetUp_ = true;
}

OPENFILENAMEW describeOpenFileDialog(HWND owner, const std::wstring& title,
                                     const std::wstring& filter, std::wstring& file,
                                     std::wstring& fileName) {
    // A name left from the last showing would be offered again; each showing starts empty.
    file.assign(kFileBufferSize, L'\0');
    fileName.assign(kFileTitleBufferSize, L'\0');
    OPENFILENAMEW d{};
    d.lStructSize = sizeof d;
    d.hwndOwner = owner;
    d.lpstrFilter = filter.c_str();
    d.nFilterIndex = 0;
    d.lpstrFile = file.data();
    d.nMaxFile = kFileBufferSize;
    d.lpstrFileTitle = fileName.data();
    d.nMaxFileTitle = kFileTitleBufferSize;
    d.lpstrTitle = title.c_str();
    // Not OFN_FILEMUSTEXIST nor OFN_PATHMUSTEXIST: whatever is typed is taken, and a name that
    // cannot be opened is reported by the load.
    d.Flags = OFN_EXPLORER;
    return d;
}

HWND Win32MainWindow::controlHandle(Control control) const {
    return controls_[static_cast<std::size_t>(control)].handle;
}

Text Win32MainWindow::title() { return windowText(window_); }

void Win32MainWindow::setTitle(const Text& title) {
    if (window_) setWindowText(window_, title);
}

Text Win32MainWindow::text(Control control) {
    if (control == Control::ExpressionEdit) return expressionText(controlHandle(control));
    return windowText(controlHandle(control));
}

void Win32MainWindow::setText(Control control, const Text& text) {
    if (HWND h = controlHandle(control)) setWindowText(h, text);
}

bool Win32MainWindow::isChecked(Control control) {
    HWND h = controlHandle(control);
    return h && SendMessageW(h, BM_GETCHECK, 0, 0) != 0;
}

void Win32MainWindow::setChecked(Control control, bool checked) {
    if (HWND h = controlHandle(control))
        SendMessageW(h, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Win32MainWindow::setEnabled(Control control, bool enabled) {
    if (HWND h = controlHandle(control)) EnableWindow(h, enabled ? TRUE : FALSE);
}

void Win32MainWindow::setBusy(bool busy) {
    busy_ = busy;
    if (busy) {
        cursorBeforeBusy_ = SetCursor(waitCursor());
        return;
    }
    // No message was handled while busy, so the clicks and keys of that time wait in the
    // queue; take them out unhandled, or each would run once the work is done. PeekMessage
    // hands out a pending quit whatever range it is asked for: the quit of a window closed
    // while a box of the split was up goes back, or the loop would never end.
    const std::pair<UINT, UINT> input[] = {{WM_KEYFIRST, WM_KEYLAST},
                                           {WM_MOUSEFIRST, WM_MOUSELAST},
                                           {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK}};
    std::optional<WPARAM> quit;
    MSG message;
    for (const auto& [first, last] : input) {
        while (PeekMessageW(&message, nullptr, first, last, PM_REMOVE)) {
            if (message.message == WM_QUIT) quit = message.wParam;
        }
    }
    if (quit) PostQuitMessage(static_cast<int>(*quit));
    // No cursor before (none set yet) would hide it; the arrow is the window's own.
    SetCursor(cursorBeforeBusy_ ? cursorBeforeBusy_
                                : LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
}

int Win32MainWindow::runLoop() { return win32::runMessageLoop(); }

void Win32MainWindow::postQuit(int exitCode) { PostQuitMessage(exitCode); }

std::optional<Text> Win32MainWindow::showOpenFileDialog() {
    if (!openFileDialogSetUp_) return std::nullopt;
    std::wstring file, fileName;
    OPENFILENAMEW dialog =
        describeOpenFileDialog(window_, openFileTitle_, openFileFilter_, file, fileName);
    if (!GetOpenFileNameW(&dialog)) return std::nullopt;
    return fromWideForDisplay(file.c_str());
}

Text Win32MainWindow::browseForFolder(const Text& title) {
    wchar_t displayName[MAX_PATH] = L"";
    const std::wstring title16 = toWideForDisplay(title);
    BROWSEINFOW info{};
    // Owned by the active window, which is the main window when its "..." was clicked; the main
    // window itself when none of ours is active.
    info.hwndOwner = GetActiveWindow();
    if (!info.hwndOwner) info.hwndOwner = window_;
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = title16.c_str();
    info.ulFlags = BIF_EDITBOX;
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
    if (!item) return Text();
    wchar_t path[MAX_PATH] = L"";
    const bool isFolder = SHGetPathFromIDListW(item, path) != FALSE;
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator) {
        allocator->Free(item);
        allocator->Release();
    }
    return isFolder ? fromWideForDisplay(path) : Text();
}

MessageBoxAnswer Win32MainWindow::showMessageBox(const Text& text, const Text& title,
                                                 MessageBoxButtons buttons) {
    return showWin32MessageBox(text, title, buttons);
}

int Win32MainWindow::indexOfHandle(HWND control) const {
    if (!control) return -1;
    for (std::size_t i = 0; i < controls_.size(); ++i)
        if (controls_[i].handle == control) return static_cast<int>(i);
    return -1;
}

LRESULT CALLBACK Win32MainWindow::windowProcedure(HWND window, UINT message, WPARAM wParam,
                                                  LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<Win32MainWindow*>(create->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        if (self) self->window_ = window;
    }
    auto* self = reinterpret_cast<Win32MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // The controls went with the window: from here on, operations on them do nothing.
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
        for (Slot& slot : self->controls_) slot.handle = nullptr;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->handleMessage(message, wParam, lParam);
}

LRESULT Win32MainWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            // A click is BN_CLICKED (0) from one of our controls; menus and accelerators send
            // no control handle, and other notifications are not clicks.
            if (HIWORD(wParam) == BN_CLICKED && lParam != 0) {
                const std::optional<Control> control = controlWithId(LOWORD(wParam));
                if (control && controlHandle(*control)) controlClicked(*control);
                return 0;
            }
            break;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN:
            return answerColours(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam),
                                 message, wParam, lParam);
        case WM_DROPFILES: {
            // The drop's memory goes back before the handler, which may wait on a box.
            const auto drop = reinterpret_cast<HDROP>(wParam);
            const std::vector<Text> files = droppedFiles(drop);
            DragFinish(drop);
            filesDropped(files);
            return 0;
        }
        case WM_SETCURSOR:
            // A message handled while busy must not put the arrow back.
            if (busy_) {
                SetCursor(waitCursor());
                return TRUE;
            }
            break;
        case WM_DESTROY:
            windowDestroyed();
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT Win32MainWindow::answerColours(HDC dc, HWND control, UINT message, WPARAM wParam,
                                       LPARAM lParam) {
    const int index = indexOfHandle(control);
    if (index >= 0) {
        // Colours go by the control, not by the message: a disabled edit asks with
        // WM_CTLCOLORSTATIC and still gets black on white.
        const ControlColours& colours = controls_[static_cast<std::size_t>(index)].colours;
        switch (colours.background) {
            case ControlColours::Background::System:
                break;
            case ControlColours::Background::ButtonFace:
                SetTextColor(dc, colourRef(colours.text));
                SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
                return reinterpret_cast<LRESULT>(buttonFaceBrush_);
            case ControlColours::Background::Own:
                SetTextColor(dc, colourRef(colours.text));
                SetBkColor(dc, colourRef(colours.own));
                return reinterpret_cast<LRESULT>(ownBrushes_.at(colours.own));
        }
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

MessageBoxAnswer showWin32MessageBox(const Text& text, const Text& title,
                                     MessageBoxButtons buttons) {
    // No owner: the main window stays usable while the box is up, and the update thread can
    // show one too. The buttons' values are MessageBoxW's flags, and its answer is the
    // button's identifier, one more than ours (IDOK 1 gives Ok 0); 0 when no box came.
    return static_cast<MessageBoxAnswer>(MessageBoxW(nullptr, toWideForDisplay(text).c_str(),
                                                     toWideForDisplay(title).c_str(),
                                                     static_cast<UINT>(buttons)) -
                                         1);
}

Win32MessageBoxes& processMessageBoxes() {
    static auto* boxes = new Win32MessageBoxes;  // never destroyed: see the header
    return *boxes;
}

}  // namespace folioknife::app::win32
