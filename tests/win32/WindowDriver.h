#pragma once
// Drives the real window from a second thread while the first one sits in a modal loop (a
// message box, the open-file dialog, the folder browser), the way a user would: find the
// dialog, look at it, press one of its buttons.
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace folioknife::testing {

inline std::string className(HWND window) {
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

// A window's text as GetWindowTextA gives it; WM_GETTEXT for controls of our own process.
inline std::string windowText(HWND window) {
    char text[4096] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// The visible dialogs (class #32770) that belong to a thread.
inline std::vector<HWND> dialogsOf(DWORD thread) {
    std::vector<HWND> found;
    EnumThreadWindows(
        thread,
        [](HWND w, LPARAM list) -> BOOL {
            if (IsWindowVisible(w) && className(w) == "#32770")
                reinterpret_cast<std::vector<HWND>*>(list)->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

inline HWND waitForDialog(DWORD thread, int milliseconds = 15000) {
    for (int waited = 0; waited < milliseconds; waited += 50) {
        auto dialogs = dialogsOf(thread);
        if (!dialogs.empty()) return dialogs.front();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return nullptr;
}

// The first descendant of the given class (case-insensitive) and, when id is not 0, that id.
inline HWND findChild(HWND parent, const std::string& cls, int id = 0) {
    struct Search {
        std::string cls;
        int id;
        HWND found;
    } search{cls, id, nullptr};
    EnumChildWindows(
        parent,
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            if (lstrcmpiA(className(w).c_str(), s->cls.c_str()) == 0 &&
                (s->id == 0 || GetDlgCtrlID(w) == s->id)) {
                s->found = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Every descendant's class, id and text, for a failure message.
inline std::string describeChildren(HWND parent) {
    std::string out;
    EnumChildWindows(
        parent,
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<std::string*>(p);
            *s += className(w) + " #" + std::to_string(GetDlgCtrlID(w)) + " \"" + windowText(w) +
                  "\"\n";
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&out));
    return out;
}

// Runs 'show' on this thread (it blocks in a modal loop) and 'act' on a helper thread against
// the first dialog of this thread that appears. Whatever 'act' leaves open is cancelled so
// that 'show' returns; problems are collected in 'notes' rather than asserted from the helper.
class DialogDriver {
public:
    std::vector<std::string> notes;

    template <class Show>
    void run(Show show, std::function<void(HWND dialog)> act) {
        const DWORD thread = GetCurrentThreadId();
        std::thread helper([&] {
            HWND dialog = waitForDialog(thread);
            if (!dialog) {
                notes.push_back("no dialog appeared");
                return;
            }
            act(dialog);
            for (int i = 0; i < 200 && IsWindow(dialog); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (IsWindow(dialog)) {
                notes.push_back("the dialog stayed open and was cancelled");
                PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            }
        });
        show();
        helper.join();
    }
};

}  // namespace folioknife::testing
