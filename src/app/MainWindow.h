#pragma once
// The main window as the handlers see it. The Win32 and the Qt windows implement it; tests use
// a fake that records calls and answers dialogs.
#include <functional>
#include <optional>
#include <vector>

#include "app/Controls.h"
#include "splitter/SplitFlow.h"

namespace folioknife::app {

struct OpenFileDialogSpec {
    Text title;   // "打开文件"
    Text filter;  // "文本文件(*.txt)|*.txt"
};

class MainWindow : public splitter::MessageBoxService {
public:
    // Creates and shows the window titled windowTitle(), sets its small icon, then creates the
    // controls in the order given, each taking its identifier from takeControlId(), and sets up
    // the open-file dialog after the first kControlsBeforeOpenFileDialog of them.
    virtual void create(const std::vector<ControlSpec>& controls,
                        const OpenFileDialogSpec& openFileDialog) = 0;

    virtual Text title() = 0;
    virtual void setTitle(const Text& title) = 0;

    // The control operations; texts in the program's code page. Any non-zero mark is checked.
    virtual Text text(Control control) = 0;
    virtual void setText(Control control, const Text& text) = 0;
    virtual bool isChecked(Control control) = 0;
    virtual void setChecked(Control control, bool checked) = 0;
    virtual void setEnabled(Control control, bool enabled) = 0;

    // A click handler runs after an automatic radio button or check box has changed its mark.
    virtual void bindClick(Control control, std::function<void()> handler) = 0;
    virtual void bindDestroyed(std::function<void()> handler) = 0;

    // Runs the event loop until the quit message; returns its exit code.
    virtual int runMessageLoop() = 0;
    virtual void postQuit(int exitCode) = 0;

    // The open-file dialog, owned by the window: the path chosen, or nothing when cancelled.
    virtual std::optional<Text> showOpenFileDialog() = 0;
    // The folder browser, modal to the window: the folder chosen, empty when cancelled.
    virtual Text browseForFolder(const Text& title) = 0;

    // Message boxes have no owner: the window stays usable while one is shown. May be called
    // from the update thread as well.
    int showMessageBox(const Text& text, const Text& title, unsigned flags) override = 0;
};

}  // namespace folioknife::app
