#pragma once
// The main window on Windows: a WTWindow with system controls, made through the ...A functions
// so that every text is bytes in the ANSI code page.
// clang-format off
#include <windows.h>  // before the other system headers, which rely on it
#include <commdlg.h>
// clang-format on

#include <array>
#include <functional>
#include <string>

#include "app/MainWindow.h"
#include "app/win32/Win32Controls.h"

namespace folioknife::app::win32 {

// GetMessageA until WM_QUIT; returns the wParam of the last message retrieved. A window, when
// given, ends the loop once it is gone and gets the dialog keyboard handling; a window and an
// accelerator table together get the accelerators.
int runMessageLoop(HWND window, HACCEL accelerators);

class Win32MainWindow : public MainWindow {
  public:
    // The window's class is registered and its windows created under moduleHandle, the module
    // that also holds icon 128.
    explicit Win32MainWindow(HINSTANCE moduleHandle);
    ~Win32MainWindow() override;
    Win32MainWindow(const Win32MainWindow&) = delete;
    Win32MainWindow& operator=(const Win32MainWindow&) = delete;

    void create(const std::vector<ControlSpec>& controls,
                const OpenFileDialogSpec& openFileDialog) override;
    Text title() override;
    void setTitle(const Text& title) override;
    Text text(Control control) override;
    void setText(Control control, const Text& text) override;
    bool isChecked(Control control) override;
    void setChecked(Control control, bool checked) override;
    void setEnabled(Control control, bool enabled) override;
    void bindClick(Control control, std::function<void()> handler) override;
    void bindDestroyed(std::function<void()> handler) override;
    int runMessageLoop() override;
    void postQuit(int exitCode) override;
    std::optional<Text> showOpenFileDialog() override;
    Text browseForFolder(const Text& title) override;
    int showMessageBox(const Text& text, const Text& title, unsigned flags) override;

    // The window and a control while they exist; null before create() and after destruction.
    HWND handle() const { return window_; }
    HWND controlHandle(Control control) const;
    // The open-file dialog's description as GetOpenFileNameA gets it, and how many controls
    // existed when it was set up.
    const OPENFILENAMEA& openFileDialog() const { return openFileName_; }
    int controlsBeforeOpenFileDialog() const { return controlsBeforeOpenFileDialog_; }

  private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void createControl(const ControlSpec& entry);
    void setUpOpenFileDialog(const OpenFileDialogSpec& dialog);
    int indexOfId(int id) const;
    int indexOfHandle(HWND control) const;
    LRESULT answerColours(HDC dc, HWND control, UINT message, WPARAM wParam, LPARAM lParam);

    HINSTANCE moduleHandle_;
    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    // Made once, when the window is created, and kept until the window is gone: the controls
    // are painted with them.
    HBRUSH buttonFaceBrush_ = nullptr;
    HBRUSH whiteBrush_ = nullptr;

    struct Slot {
        HWND handle = nullptr;
        int id = 0;
        ControlKind kind = ControlKind::Label;
        std::function<void()> click;
    };
    std::array<Slot, kControlCount> controls_{};
    std::function<void()> destroyed_;

    OPENFILENAMEA openFileName_{};
    std::string openFileTitle_;
    std::string openFileFilter_;
    std::string fileBuffer_;       // 65,535 bytes: the path chosen
    std::string fileTitleBuffer_;  // 260 bytes: its file name alone
    int controlsBeforeOpenFileDialog_ = -1;
};

}  // namespace folioknife::app::win32
