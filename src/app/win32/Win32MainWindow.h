#pragma once
// The main window on Windows: a WTWindow with system controls, made through the ...W functions.
// Its texts are bytes in the program's code page here and UTF-16 for Windows, so captions and
// file names are right whatever the system's code page is.
// clang-format off
#include <windows.h>  // before the other system headers, which rely on it
#include <commdlg.h>
// clang-format on

#include <array>
#include <map>
#include <string>

#include "app/MainWindow.h"
#include "app/win32/Win32Controls.h"

namespace folioknife::app::win32 {

// GetMessageW until WM_QUIT, translating and dispatching every message; returns the wParam of
// the last message retrieved, the quit code. No accelerators and no dialog keyboard handling:
// the window never had either.
int runMessageLoop();

// A message box without an owner, from any thread, through MessageBoxW.
MessageBoxAnswer showWin32MessageBox(const Text& text, const Text& title,
                                     MessageBoxButtons buttons);

// Message boxes for the whole process: the update thread reports through it. Made at first use
// and never destroyed, so that the thread, never waited for, still finds it while the process
// ends.
class Win32MessageBoxes : public splitter::MessageBoxService {
public:
    MessageBoxAnswer showMessageBox(const Text& text, const Text& title,
                                    MessageBoxButtons buttons) override {
        return showWin32MessageBox(text, title, buttons);
    }
};
Win32MessageBoxes& processMessageBoxes();

// The open-file dialog as GetOpenFileNameW gets it: owned by owner, with the title and the
// filter (entries separated by NULs), writing the path chosen into file (65,535 characters)
// and its file name alone into fileName (260), both emptied first.
OPENFILENAMEW describeOpenFileDialog(HWND owner, const std::wstring& title,
                                     const std::wstring& filter, std::wstring& file,
                                     std::wstring& fileName);

class Win32MainWindow : public MainWindow {
public:
    // The window's class is registered and its windows created under moduleHandle, the module
    // that also holds icon 128.
    explicit Win32MainWindow(HINSTANCE moduleHandle);
    ~Win32MainWindow() override;
    Win32MainWindow(const Win32MainWindow&) = delete;
    Win32MainWindow& operator=(const Win32MainWindow&) = delete;

    Text title() override;
    void setTitle(const Text& title) override;
    Text text(Control control) override;
    void setText(Control control, const Text& text) override;
    bool isChecked(Control control) override;
    void setChecked(Control control, bool checked) override;
    void setEnabled(Control control, bool enabled) override;
    // The wait cursor; the input that came while busy is taken from the queue unhandled.
    void setBusy(bool busy) override;
    void postQuit(int exitCode) override;
    std::optional<Text> showOpenFileDialog() override;
    Text browseForFolder(const Text& title) override;
    MessageBoxAnswer showMessageBox(const Text& text, const Text& title,
                                    MessageBoxButtons buttons) override;

    // The window and a control while they exist; null before create() and after destruction.
    HWND handle() const { return window_; }
    HWND controlHandle(Control control) const;

protected:
    void createWindow(const Text& title, const WindowLayout& layout) override;
    void createControl(const ControlLayout& layout, int id) override;
    void setUpOpenFileDialog(const OpenFileDialogSetup& dialog) override;
    int runLoop() override;

private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    int indexOfHandle(HWND control) const;
    LRESULT answerColours(HDC dc, HWND control, UINT message, WPARAM wParam, LPARAM lParam);

    HINSTANCE moduleHandle_;
    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    bool busy_ = false;
    HCURSOR cursorBeforeBusy_ = nullptr;
    // Made once, when the window is created, and kept until the window is gone: the controls
    // are painted with them. One brush for each background of the table's own colours.
    HBRUSH buttonFaceBrush_ = nullptr;
    std::map<Rgb, HBRUSH> ownBrushes_;

    struct Slot {
        HWND handle = nullptr;
        ControlColours colours;
    };
    std::array<Slot, kControlCount> controls_{};

    std::wstring openFileTitle_;
    std::wstring openFileFilter_;
    bool openFileDialogSetUp_ = false;
};

}  // namespace folioknife::app::win32
