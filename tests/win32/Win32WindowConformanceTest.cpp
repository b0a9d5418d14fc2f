// The window contract run against the real Win32 window under Wine (or Windows). Boxes and
// dialogs are modal loops on the window's thread: a watcher thread finds each one as it
// appears and answers it from a thread of its own, so that a click made while one is up may
// open another over it.
// clang-format off
#include <windows.h>  // before the other system headers, which rely on it
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
// clang-format on

#include <atomic>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "TestText.h"
#include "WindowDriver.h"
#include "app/win32/Win32MainWindow.h"
#include "window/WindowConformance.h"

namespace folioknife::testing {
namespace {
using app::Control;
using app::Text;

// The explorer-style dialog's file-name field (a combo box's edit, or a plain edit) and its
// file-type list.
constexpr int kFileNameCombo = 0x47c, kFileNameEdit = 0x480, kFileTypeCombo = 0x470;

HWND fileNameField(HWND dialog) {
    if (HWND combo = GetDlgItem(dialog, kFileNameCombo)) {
        if (HWND edit = FindWindowExA(combo, nullptr, "Edit", nullptr)) return edit;
        return combo;
    }
    return GetDlgItem(dialog, kFileNameEdit);
}

// Polls 'done' until it holds or the bound passes.
bool pollUntil(const std::function<bool()>& done, int milliseconds = 10000) {
    for (int waited = 0;; waited += 10) {
        if (done()) return true;
        if (waited >= milliseconds) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// The visible dialogs (class #32770) of this process, boxes and common dialogs alike.
std::vector<HWND> dialogsOfThisProcess() {
    std::vector<HWND> found;
    EnumWindows(
        [](HWND w, LPARAM list) -> BOOL {
            DWORD process = 0;
            GetWindowThreadProcessId(w, &process);
            if (process == GetCurrentProcessId() && IsWindowVisible(w) && className(w) == "#32770")
                reinterpret_cast<std::vector<HWND>*>(list)->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

std::string desktopFolder() {
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, path);
    return path;
}

// An HDROP as Explorer hands it over: a DROPFILES header followed by the ANSI paths, each
// ended by a NUL, and one more NUL. The receiver frees it with DragFinish.
HDROP makeDrop(const std::vector<std::string>& paths) {
    std::string list;
    for (const std::string& p : paths) list += p + '\0';
    list += '\0';
    HGLOBAL memory = GlobalAlloc(GHND | GMEM_SHARE, sizeof(DROPFILES) + list.size());
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = FALSE;
    std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), list.data(), list.size());
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

// Handles what is queued. A quit is left for the loop it ends, as a modal loop leaves it: a
// window closed while a box was up ends the program's loop after the handler returns.
void pump() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(m.wParam));
            return;
        }
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
}

// A message-only window whose one message marks how far the thread's queue has been handled:
// posted messages are handled in the order they were posted, whichever loop (ours, a box's)
// takes them.
class QueueMarker {
public:
    QueueMarker() {
        WNDCLASSA c{};
        c.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            if (m == kMarked) handled_ = static_cast<long>(l);
            return DefWindowProcA(h, m, w, l);
        };
        c.hInstance = GetModuleHandleA(nullptr);
        c.lpszClassName = "FolioknifeTestQueueMarker";
        RegisterClassA(&c);  // fails harmlessly once registered
        window_ = CreateWindowExA(0, c.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  c.hInstance, nullptr);
    }
    ~QueueMarker() { DestroyWindow(window_); }
    // Posts a marker; handled(marker) holds once the queue has been handled up to it.
    long post() {
        PostMessageA(window_, kMarked, 0, ++posted_);
        return posted_;
    }
    static bool handled(long marker) { return handled_ >= marker; }

private:
    static constexpr UINT kMarked = WM_APP + 1;
    static inline long handled_ = 0;
    static inline long posted_ = 0;
    HWND window_ = nullptr;
};

class Win32Driver : public WindowDriver {
public:
    Win32Driver() {
        char temp[MAX_PATH] = "";
        GetTempPathA(MAX_PATH, temp);
        static int made = 0;
        folder_ = std::string(temp) + gbk("窗口测试") + std::to_string(GetCurrentProcessId()) +
                  "-" + std::to_string(++made);
        CreateDirectoryA(folder_.c_str(), nullptr);
        watcher_ = std::thread([this] { watch(); });
    }
    ~Win32Driver() override {
        for (UINT_PTR id : watchdogs_) KillTimer(nullptr, id);
        stop_ = true;
        watcher_.join();
        for (auto& t : answerers_) t.join();
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder_ + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                DeleteFileA((folder_ + "\\" + found.cFileName).c_str());
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(folder_.c_str());
    }

    app::MainWindow& window() override { return window_; }
    app::Platform platform() override { return {splitter::PathStyle::Windows, "D:\\output"}; }
    std::string whyNoWindow() override {
        if (GetACP() != 936) return "needs code page 936 (LANG=zh_CN.UTF-8 under Wine)";
        if (!window_.handle()) return "no window could be created (no display?)";
        return "";
    }
    void click(Control c) override {
        SendMessageA(window_.controlHandle(c), BM_CLICK, 0, 0);
        if (GetCurrentThreadId() == uiThread_) pump();
    }
    // Sent, not posted: from the thread that answers a box it returns once the window's thread,
    // in the box's loop, has taken the window down.
    void closeWindow() override { SendMessageA(window_.handle(), WM_CLOSE, 0, 0); }
    void postClick(Control c) override {
        HWND h = window_.controlHandle(c);
        PostMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        PostMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    }
    void postSpaceBar(Control c) override {
        HWND h = window_.controlHandle(c);
        SetFocus(h);
        PostMessageA(h, WM_KEYDOWN, VK_SPACE, 0);
        PostMessageA(h, WM_KEYUP, VK_SPACE, 0xC0000001);
    }
    bool isEnabled(Control c) override {
        return IsWindowEnabled(window_.controlHandle(c)) != FALSE;
    }
    Rect geometry(Control c) override {
        RECT r{};
        GetWindowRect(window_.controlHandle(c), &r);
        MapWindowPoints(nullptr, window_.handle(), reinterpret_cast<POINT*>(&r), 2);
        return {r.left, r.top, r.right - r.left, r.bottom - r.top};
    }
    bool busyCursorShown() override {
        return GetCursor() == LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT));
    }
    void expect(Reply reply) override {
        std::lock_guard<std::mutex> lock(mutex_);
        replies_.push_back(std::move(reply));
    }
    std::vector<ShownBox> boxes() override {
        std::lock_guard<std::mutex> lock(mutex_);
        return boxes_;
    }
    std::vector<ShownDialog> dialogs() override {
        std::lock_guard<std::mutex> lock(mutex_);
        return dialogs_;
    }
    int boxesUp() override {
        int up = 0;
        for (HWND d : dialogsOfThisProcess()) up += GetDlgItem(d, 0xFFFF) != nullptr;
        return up;
    }
    Text folderTheBrowserChooses() override { return desktopFolder(); }
    void dropFiles(const std::vector<Text>& paths) override {
        PostMessageA(window_.handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(makeDrop(paths)), 0);
        pump();
    }
    bool waitUntil(const std::function<bool()>& done, int milliseconds) override {
        return pollUntil(
            [&] {
                pump();
                return done();
            },
            milliseconds);
    }
    bool settle() override {
        const long marker = marker_.post();
        return waitUntil([marker] { return QueueMarker::handled(marker); }, 10000);
    }
    void whileLooping(std::function<void()> steps) override {
        // A thread timer is dispatched by the loop to its procedure: the steps run in the loop.
        steps_ = std::move(steps);
        looping_ = this;
        SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR id, DWORD) {
            KillTimer(nullptr, id);
            Win32Driver* self = looping_;
            auto steps = std::move(self->steps_);
            if (steps) steps();
            PostMessageA(self->window_.handle(), WM_CLOSE, 0, 0);
        });
        // A loop that does not end fails the test with its own code instead of hanging.
        watchdogs_.push_back(SetTimer(nullptr, 0, 20000, [](HWND, UINT, UINT_PTR id, DWORD) {
            KillTimer(nullptr, id);
            PostQuitMessage(99);
        }));
    }
    Text folder() override { return folder_; }

private:
    void watch() {
        while (!stop_) {
            for (HWND dialog : dialogsOfThisProcess()) {
                // A dialog answered a moment ago may be gone by now, and its mark with it: one
                // that cannot be marked any more is no new dialog, and takes no reply.
                if (GetPropA(dialog, "fkAnswered") ||
                    !SetPropA(dialog, "fkAnswered", reinterpret_cast<HANDLE>(1)) ||
                    !IsWindowVisible(dialog))
                    continue;
                Reply reply;
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    if (replies_.empty()) {
                        notes_.push_back("a box or dialog came that the test did not expect: " +
                                         windowText(dialog));
                        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
                        continue;
                    }
                    reply = std::move(replies_.front());
                    replies_.pop_front();
                }
                answerers_.emplace_back([this, dialog, reply] { answer(dialog, reply); });
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& note : notes_) ADD_FAILURE() << note;
    }

    // The push button drawn as the default one (BS_DEFPUSHBUTTON), which Enter presses.
    static HWND defaultButtonOf(HWND dialog) {
        HWND found = nullptr;
        EnumChildWindows(
            dialog,
            [](HWND w, LPARAM out) -> BOOL {
                if ((GetWindowLongA(w, GWL_STYLE) & BS_TYPEMASK) != BS_DEFPUSHBUTTON) return TRUE;
                *reinterpret_cast<HWND*>(out) = w;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&found));
        return found;
    }

    bool modalToWindow(HWND dialog) {
        return GetWindow(dialog, GW_OWNER) == window_.handle() &&
               !IsWindowEnabled(window_.handle());
    }

    void answer(HWND dialog, const Reply& reply) {
        if (reply.kind == Reply::Kind::Box) return answerBox(dialog, reply);
        const ShownDialog shown = reply.kind == Reply::Kind::OpenFile
                                      ? answerOpenFile(dialog, reply)
                                      : answerFolderBrowser(dialog, reply);
        std::lock_guard<std::mutex> lock(mutex_);
        dialogs_.push_back(shown);
    }

    void answerBox(HWND dialog, const Reply& reply) {
        pollUntil([&] { return GetDlgItem(dialog, 0xFFFF) != nullptr; });
        HWND defaultButton = defaultButtonOf(dialog);
        ShownBox shown{windowText(dialog), windowText(GetDlgItem(dialog, 0xFFFF)),
                       GetWindow(dialog, GW_OWNER) == nullptr && IsWindowEnabled(window_.handle()),
                       defaultButton
                           ? static_cast<app::MessageBoxAnswer>(GetDlgCtrlID(defaultButton) - 1)
                           : app::MessageBoxAnswer::None};
        {
            std::lock_guard<std::mutex> lock(mutex_);
            boxes_.push_back(shown);
        }
        if (reply.whileUp) reply.whileUp();
        if (!reply.enter) {
            PostMessageA(dialog, WM_COMMAND, static_cast<int>(reply.press) + 1, 0);
            return;
        }
        // To the box's focus, as a key typed there: the box's own loop takes it through
        // IsDialogMessage, which presses the focused push button. The box shares its thread
        // with the main window, whose control may still have the focus for a moment.
        const DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
        HWND focus = nullptr;
        pollUntil([&] {
            GUITHREADINFO info{};
            info.cbSize = sizeof info;
            GetGUIThreadInfo(thread, &info);
            focus = info.hwndFocus;
            return focus && IsChild(dialog, focus);
        });
        if (!focus || !IsChild(dialog, focus)) focus = defaultButton;
        PostMessageA(focus ? focus : dialog, WM_KEYDOWN, VK_RETURN, 0);
    }

    ShownDialog answerOpenFile(HWND dialog, const Reply& reply) {
        // The dialog fills itself in after it is shown.
        HWND types = nullptr;
        pollUntil([&] {
            types = GetDlgItem(dialog, kFileTypeCombo);
            return types && !windowText(types).empty() && fileNameField(dialog);
        });
        ShownDialog shown;
        shown.texts = {windowText(dialog), types ? windowText(types) : "<no type list>"};
        shown.modalToWindow = modalToWindow(dialog);
        HWND name = fileNameField(dialog);
        shown.startName = name ? windowText(name) : "<no name field>";
        if (reply.path) {
            SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(reply.path->c_str()));
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        } else {
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        }
        return shown;
    }

    ShownDialog answerFolderBrowser(HWND dialog, const Reply& reply) {
        HWND tree = nullptr;
        HTREEITEM root = nullptr;
        pollUntil([&] {
            tree = findChild(dialog, "SysTreeView32");
            root =
                tree
                    ? reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0))
                    : nullptr;
            return root != nullptr;
        });
        ShownDialog shown;
        shown.texts.push_back(windowText(dialog));
        EnumChildWindows(
            dialog,
            [](HWND w, LPARAM texts) -> BOOL {
                reinterpret_cast<std::vector<Text>*>(texts)->push_back(windowText(w));
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&shown.texts));
        shown.modalToWindow = modalToWindow(dialog);
        if (reply.path && root) {  // the tree's root: the desktop
            SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(root));
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        } else {
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        }
        return shown;
    }

    app::win32::Win32MainWindow window_{GetModuleHandleA(nullptr)};
    QueueMarker marker_;
    const DWORD uiThread_ = GetCurrentThreadId();
    std::string folder_;
    std::mutex mutex_;
    std::deque<Reply> replies_;
    std::vector<ShownBox> boxes_;
    std::vector<ShownDialog> dialogs_;
    std::vector<std::string> notes_;
    std::atomic<bool> stop_{false};
    std::thread watcher_;
    std::vector<std::thread> answerers_;  // touched by the watcher only, until it has ended
    std::function<void()> steps_;
    std::vector<UINT_PTR> watchdogs_;
    static inline Win32Driver* looping_ = nullptr;
};

std::unique_ptr<WindowDriver> makeWin32Driver() { return std::make_unique<Win32Driver>(); }

INSTANTIATE_TEST_SUITE_P(Win32, WindowConformance, ::testing::Values(&makeWin32Driver),
                         NamedAfter{"Win32"});

}  // namespace
}  // namespace folioknife::testing
