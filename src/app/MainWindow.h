#pragma once
// The main window: one portable core that the Win32 window, the Qt window and the tests' fake
// window share. The core creates the window and its controls from the table in order, takes
// their identifiers, sets up the open-file dialog at its step, keeps the click handlers and
// runs them. A toolkit only provides the primitives below: make the window and a control of a
// kind at a rectangle, read and set texts and marks, enable, show a box, run the loop.
#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "app/Controls.h"
#include "splitter/MessageBox.h"

namespace folioknife::app {

using splitter::MessageBoxAnswer;
using splitter::MessageBoxButtons;

struct OpenFileDialogSetup {
    Text title;                       // "打开文件"
    std::vector<FileFilter> filters;  // the type list, the first entry in force
};

class MainWindow : public splitter::MessageBoxService {
public:
    // Creates and shows the window titled windowTitle() with its small icon, then creates the
    // controls in the order given, each taking the next identifier from the window's counter, and
    // sets up the open-file dialog after the first kControlsBeforeOpenFileDialog of them. A window
    // made anew has no handlers.
    void create(const std::vector<ControlLayout>& controls, const OpenFileDialogSetup& dialog);

    // A click handler runs after an automatic radio button or check box has changed its mark.
    // Binding takes the place of an earlier handler of the same slot. Virtual so that the
    // tests' window can note the bindings.
    virtual void bindClick(Control control, std::function<void()> handler);
    virtual void bindDestroyed(std::function<void()> handler);

    // Files dropped on the window, their paths in the program's code page. 'wanted' says
    // whether a drop of these files would be taken, so that the toolkit can show it while they
    // are dragged over the window; 'dropped' runs for a drop that is wanted. Binding takes the
    // place of an earlier pair.
    using DroppedFiles = std::vector<Text>;
    virtual void bindFileDrop(std::function<bool(const DroppedFiles&)> wanted,
                              std::function<void(const DroppedFiles&)> dropped);

    // Runs the event loop until the quit message; returns its exit code.
    int runMessageLoop() { return runLoop(); }
    virtual void postQuit(int exitCode) = 0;

    virtual Text title() = 0;
    virtual void setTitle(const Text& title) = 0;

    // The control operations; texts in the program's code page. Any non-zero mark is checked.
    // Operations on a control that does not exist (any more) do nothing.
    virtual Text text(Control control) = 0;
    virtual void setText(Control control, const Text& text) = 0;
    virtual bool isChecked(Control control) = 0;
    virtual void setChecked(Control control, bool checked) = 0;
    virtual void setEnabled(Control control, bool enabled) = 0;

    // Around work that keeps the loop from running (loading a novel, splitting it): true shows
    // the busy cursor; false restores the cursor and throws away the clicks and keys that came
    // in meanwhile, which would otherwise all run once the work is done. Calls alternate,
    // true first.
    virtual void setBusy(bool busy) = 0;

    // The open-file dialog, owned by the window: the path chosen, or nothing when cancelled.
    virtual std::optional<Text> showOpenFileDialog() = 0;
    // The folder browser, modal to the window: the folder chosen, empty when cancelled.
    virtual Text browseForFolder(const Text& title) = 0;

    // Message boxes have no owner: the window stays usable while one is shown.
    MessageBoxAnswer showMessageBox(const Text& text, const Text& title,
                                    MessageBoxButtons buttons) override = 0;

    // The control created with this identifier, if any.
    std::optional<Control> controlWithId(int id) const;

protected:
    // The toolkit's primitives for create().
    virtual void createWindow(const Text& title, const WindowLayout& layout) = 0;
    virtual void createControl(const ControlLayout& layout, int id) = 0;
    virtual void setUpOpenFileDialog(const OpenFileDialogSetup& dialog) = 0;
    virtual int runLoop() = 0;

    // What the toolkit reports: a click on a control, the window's destruction. Each runs the
    // bound handler, if any, from a copy: a handler may bind its own slot anew while it runs.
    void controlClicked(Control control);
    void windowDestroyed();
    // What the toolkit reports about files dragged over the window and dropped on it. A drop
    // runs the bound handler only when it is wanted; nothing is wanted while nothing is bound.
    bool fileDropWanted(const DroppedFiles& files) const;
    void filesDropped(const DroppedFiles& files);

private:
    std::array<std::function<void()>, kControlCount> clicks_;
    std::function<void()> destroyed_;
    std::function<bool(const DroppedFiles&)> dropWanted_;
    std::function<void(const DroppedFiles&)> dropped_;
    std::array<int, kControlCount> ids_{};
    int controlIdCounter_ = kControlIdCounterStart;
};

}  // namespace folioknife::app
