// fk-wintest: reads the live controls of a running folioknife.exe from outside, for the smoke
// test.
//
//   fk-wintest dump                 one line per control: id, name, class, style, extended
//                                   style, enabled, mark, x, y, width, height, text (ANSI bytes)
//   fk-wintest check [SETTING...]   compares the window with the control table: presets,
//                                   classes, styles, places, the title, the class styles and
//                                   the program's resources. A SETTING such as
//                                   OpenButton.text=..., OpenButton.enabled=0 or
//                                   ContextMenuCheck.checked=1 replaces what the table says
//                                   about one control.
//   fk-wintest box TITLE            the text of the message box titled TITLE
//   fk-wintest launch COMMANDLINE   starts the command line as it is, as Explorer starts the
//                                   program of a context-menu entry, and exits with its exit
//                                   code once it has ended
//
// Windows are looked for by class and complete title for up to 20 seconds. Texts are read with
// WM_GETTEXT: for a window of another process GetWindowText gives only the caption it was
// created with, not what was set later. Arguments are taken from the UTF-16 command line and,
// like the output, are bytes in the program's code page (GBK on a Chinese system, UTF-8 on a
// Western one), as folioknife.exe holds its texts: what the window shows is compared whole,
// whatever the system's code page.
#include <fcntl.h>
#include <io.h>
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ResourceCheck.h"
#include "app/Application.h"
#include "app/win32/Win32Controls.h"
#include "folioknife/Version.h"
#include "splitter/win32/WideText.h"

namespace {

using namespace folioknife;
using app::Control;
using app::ControlLayout;

constexpr UINT kTimeout = 5000;

struct Live {
    int id = 0;
    std::string cls;
    LONG style = 0, exStyle = 0;
    bool exists = false, enabled = false;
    LRESULT mark = 0;
    RECT rect{};
    std::string text;
};

std::string textOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kTimeout, &length))
        return "<no answer>";
    std::vector<wchar_t> buffer(length + 2, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                        SMTO_ABORTIFHUNG, kTimeout, &copied);
    return splitter::fromWideForDisplay(buffer.data());
}

Live readControl(HWND main, int id) {
    Live live;
    live.id = id;
    HWND h = GetDlgItem(main, id);
    if (!h) return live;
    live.exists = true;
    wchar_t cls[64] = L"";
    GetClassNameW(h, cls, 64);
    live.cls = splitter::fromWideForDisplay(cls);
    live.style = GetWindowLongA(h, GWL_STYLE);
    live.exStyle = GetWindowLongA(h, GWL_EXSTYLE);
    live.enabled = IsWindowEnabled(h) != FALSE;
    DWORD_PTR mark = 0;
    if (lstrcmpiW(cls, L"Button") == 0)
        SendMessageTimeoutA(h, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kTimeout, &mark);
    live.mark = static_cast<LRESULT>(mark);
    GetWindowRect(h, &live.rect);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&live.rect), 2);
    live.text = textOf(h);
    return live;
}

HWND findWindow(const wchar_t* cls, const std::string& title) {
    const std::wstring title16 = splitter::toWideForDisplay(title);
    for (int i = 0; i < 200; ++i) {
        if (HWND w = FindWindowW(cls, title16.c_str())) return w;
        Sleep(100);
    }
    return nullptr;
}

// A message box's text is a static control with the identifier 0xFFFF.
int showBoxText(const std::string& title) {
    HWND box = findWindow(L"#32770", title);
    if (!box) {
        std::fprintf(stderr, "fk-wintest: no message box titled %s\n", title.c_str());
        return 1;
    }
    HWND text = GetDlgItem(box, 0xFFFF);
    if (!text) {
        std::fprintf(stderr, "fk-wintest: the box has no text\n");
        return 1;
    }
    std::printf("%s", textOf(text).c_str());
    return 0;
}

std::vector<ControlLayout> table() {
    return app::controlTable(app::currentPlatform().presetOutputDirectory);
}

void dump(HWND main) {
    const auto entries = table();
    for (int i = 0; i < app::kControlCount; ++i) {
        const Live c = readControl(main, 501 + i);
        std::printf("%d\t%s\t%s\t%08lx\t%08lx\t%d\t%d\t%ld\t%ld\t%ld\t%ld\t%s\n", c.id,
                    app::controlName(entries[static_cast<std::size_t>(i)].control), c.cls.c_str(),
                    static_cast<unsigned long>(c.style), static_cast<unsigned long>(c.exStyle),
                    c.enabled ? 1 : 0, static_cast<int>(c.mark), c.rect.left, c.rect.top,
                    c.rect.right - c.rect.left, c.rect.bottom - c.rect.top, c.text.c_str());
    }
}

// The program behind the window, opened for its resources only.
std::string checkProgramResources(HWND main) {
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return "cannot open the window's process\n";
    wchar_t path[MAX_PATH] = L"";
    DWORD size = MAX_PATH;
    const BOOL named = QueryFullProcessImageNameW(process, 0, path, &size);
    CloseHandle(process);
    if (!named) return "cannot name the window's program\n";
    HMODULE image = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!image) return "cannot read the resources of " + splitter::fromWideForDisplay(path) + "\n";
    std::string problems = testing::checkWindowResources(image);
    FreeLibrary(image);
    return problems;
}

// The table with the settings given on the command line ("SplitButton.enabled=0"); nothing
// when one is no setting.
std::optional<std::vector<ControlLayout>> tableWithSettings(const std::vector<std::string>& args) {
    std::vector<ControlLayout> entries = table();
    for (std::size_t a = 2; a < args.size(); ++a) {
        const std::string& setting = args[a];
        const auto dot = setting.find('.'), equals = setting.find('=');
        bool known = false;
        if (dot != std::string::npos && equals != std::string::npos && dot < equals) {
            const std::string name = setting.substr(0, dot);
            const std::string field = setting.substr(dot + 1, equals - dot - 1);
            const std::string value = setting.substr(equals + 1);
            for (ControlLayout& entry : entries) {
                if (name != app::controlName(entry.control)) continue;
                known = true;
                if (field == "text")
                    entry.caption = value;
                else if (field == "enabled")
                    entry.enabled = value == "1";
                else if (field == "checked")
                    entry.checked = value == "1";
                else
                    known = false;
            }
        }
        if (!known) {
            std::fprintf(stderr, "fk-wintest: not a setting: %s\n", setting.c_str());
            return std::nullopt;
        }
    }
    return entries;
}

// What differs between the control with the entry's id and the entry, a line each.
std::string controlProblems(HWND main, const ControlLayout& entry, int id) {
    std::string problems;
    const std::string name = app::controlName(entry.control);
    auto problem = [&](const std::string& what) { problems += name + ": " + what + "\n"; };
    const Live c = readControl(main, id);
    if (!c.exists) {
        problem("no control " + std::to_string(c.id));
        return problems;
    }
    const auto expected = app::win32::controlClass(entry.kind);
    if (lstrcmpiW(splitter::toWideForDisplay(c.cls).c_str(), expected.className) != 0)
        problem("class " + c.cls);
    // The system may add bits of its own; ours must all be there.
    if ((static_cast<DWORD>(c.style) & expected.style) != expected.style)
        problem("style " + std::to_string(c.style));
    if ((static_cast<DWORD>(c.exStyle) & WS_EX_CLIENTEDGE) != expected.exStyle)
        problem("extended style " + std::to_string(c.exStyle));
    if (c.rect.left != entry.x || c.rect.top != entry.y ||
        c.rect.right - c.rect.left != entry.width || c.rect.bottom - c.rect.top != entry.height)
        problem("placed at " + std::to_string(c.rect.left) + "," + std::to_string(c.rect.top));
    if (c.text != entry.caption) problem("text \"" + c.text + "\"");
    if (c.enabled != entry.enabled) problem(c.enabled ? "enabled" : "disabled");
    if (entry.kind == app::ControlKind::RadioButton || entry.kind == app::ControlKind::CheckBox) {
        if ((c.mark != 0) != entry.checked) problem(c.mark ? "checked" : "clear");
    }
    return problems;
}

int check(HWND main, const std::vector<std::string>& args) {
    const std::optional<std::vector<ControlLayout>> entries = tableWithSettings(args);
    if (!entries) return 2;
    std::string problems;
    auto problem = [&](const std::string& what) { problems += what + "\n"; };
    const std::string title = textOf(main);
    if (title != "Tarvelle V" FOLIOKNIFE_VERSION) problem("title: " + title);
    if (GetClassLongPtrA(main, GCL_STYLE) != (CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS))
        problem("class styles");
    const LONG style = GetWindowLongA(main, GWL_STYLE);
    if (!(style & WS_SYSMENU) || (style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME)))
        problem("window style " + std::to_string(style));
    // The small icon cannot be read from here: under Wine a window of another process answers
    // WM_GETICON with nothing. The window's own tests check it; the resources are checked below.
    for (std::size_t i = 0; i < entries->size(); ++i)
        problems += controlProblems(main, (*entries)[i], 501 + static_cast<int>(i));
    problems += checkProgramResources(main);

    if (problems.empty()) {
        std::printf("fk-wintest: the window matches\n");
        return 0;
    }
    std::printf("%s", problems.c_str());
    return 1;
}

}  // namespace

// Wine quotes every argument that holds a blank when it starts a program; Explorer does not
// quote what the registered command leaves unquoted. This hands over the line as it is.
int launch(const std::wstring& commandLine) {
    std::wstring line = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        std::fprintf(stderr, "fk-wintest: cannot start %s\n",
                     splitter::fromWideForDisplay(commandLine).c_str());
        return 127;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

int main() {
    // The smoke test reads this output on Linux, where a carriage return is part of the line.
    _setmode(_fileno(stdout), _O_BINARY);
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::wstring> wide;
    std::vector<std::string> args;
    for (int i = 0; argv && i < argc; ++i) {
        wide.emplace_back(argv[i]);
        args.push_back(splitter::fromWideForDisplay(argv[i]));
    }
    if (argv) LocalFree(argv);
    const std::string mode = args.size() > 1 ? args[1] : "";
    if (mode == "box" && args.size() == 3) return showBoxText(args[2]);
    if (mode == "launch" && args.size() == 3) return launch(wide[2]);
    if (mode != "dump" && mode != "check") {
        std::fprintf(stderr,
                     "usage: fk-wintest dump | check [Control.field=value...] | box TITLE | "
                     "launch COMMANDLINE\n");
        return 2;
    }
    HWND main = findWindow(L"WTWindow", "Tarvelle V" FOLIOKNIFE_VERSION);
    if (!main) {
        std::fprintf(stderr, "fk-wintest: no window \"Tarvelle V" FOLIOKNIFE_VERSION
                             "\" of class WTWindow\n");
        return 1;
    }
    if (mode == "dump") {
        dump(main);
        return 0;
    }
    return check(main, args);
}
