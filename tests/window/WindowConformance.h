#pragma once
// What every main window must do for the program, written once and run against each window
// through a driver: the Qt window offscreen, the Win32 window under Wine, and the tests' fake
// window. A driver acts as the user does (clicks a control, answers the boxes and dialogs that
// appear, drops files) and reads what the user sees; the suite says what must happen.
//
// Each test program instantiates the suite with its driver:
//   INSTANTIATE_TEST_SUITE_P(Qt, WindowConformance, ::testing::Values(&makeQtDriver),
//                            NamedAfter{"Qt"});
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "splitter/FileService.h"

namespace folioknife::testing {

// A box as it was shown. 'ownerless': no owner and not modal, so the main window stays usable
// while it is up.
// 'defaultAnswer': what its default button, the one Enter presses, answers.
struct ShownBox {
    app::Text title, text;
    bool ownerless = false;
    app::MessageBoxAnswer defaultAnswer = app::MessageBoxAnswer::None;
};

// An open-file dialog or folder browser as it was shown: every text it showed (its title,
// labels, the file type chosen) and whether it was modal to the main window.
struct ShownDialog {
    std::vector<app::Text> texts;
    bool modalToWindow = false;
    app::Text startName;  // the open-file dialog's file-name field as it was first shown
    bool shows(const app::Text& text) const;
};

// The answer to the next box or dialog that appears; replies are used in the order given.
struct Reply {
    enum class Kind { Box, OpenFile, Folder } kind = Kind::Box;
    app::MessageBoxAnswer press = app::MessageBoxAnswer::Ok;  // Box: the button pressed
    // OpenFile: the path typed into the dialog, or nothing to cancel. Folder: any value
    // chooses the driver's folderTheBrowserChooses(), nothing cancels.
    std::optional<app::Text> path;
    // Runs while it is up, before the answer: a user's clicks on the main window meanwhile.
    std::function<void()> whileUp;
    bool enter = false;  // Box: Enter is pressed instead of a button

    // Enter on the box, as a reader who does not look.
    static Reply enterKey() {
        Reply reply = box(app::MessageBoxAnswer::None);
        reply.enter = true;
        return reply;
    }
    static Reply box(app::MessageBoxAnswer press, std::function<void()> whileUp = nullptr) {
        return Reply{Kind::Box, press, std::nullopt, std::move(whileUp)};
    }
    static Reply openFile(std::optional<app::Text> path) {
        return Reply{Kind::OpenFile, app::MessageBoxAnswer::Ok, std::move(path), nullptr};
    }
    static Reply folder(bool choose) {
        return Reply{Kind::Folder, app::MessageBoxAnswer::Ok,
                     choose ? std::optional<app::Text>("") : std::nullopt, nullptr};
    }
};

class WindowDriver {
public:
    virtual ~WindowDriver() = default;

    virtual app::MainWindow& window() = 0;
    // The path style and output-folder preset the window is made with.
    virtual app::Platform platform() = 0;
    // The window shown and ready for input after window().create() (or the program's start);
    // empty when it is, else why not.
    virtual std::string whyNoWindow() = 0;

    // A user's click on the control, handled before this returns (mouse, or BM_CLICK). May be
    // called while a box or dialog is up, from within Reply::whileUp.
    virtual void click(app::Control control) = 0;
    // The window closed with its close button, handled before this returns; may be called from
    // within Reply::whileUp, while a box is up.
    virtual void closeWindow() = 0;
    // A click, or the space bar on the focused control, that comes through the input queue:
    // handled once events are processed.
    virtual void postClick(app::Control control) = 0;
    virtual void postSpaceBar(app::Control control) = 0;
    virtual bool isEnabled(app::Control control) = 0;
    struct Rect {
        int x, y, width, height;
    };
    virtual Rect geometry(app::Control control) = 0;  // in the window's client area
    virtual bool busyCursorShown() = 0;

    // Answers the boxes and dialogs that appear from now on, in order.
    virtual void expect(Reply reply) = 0;
    virtual std::vector<ShownBox> boxes() = 0;
    virtual std::vector<ShownDialog> dialogs() = 0;
    virtual int boxesUp() = 0;
    virtual app::Text folderTheBrowserChooses() = 0;

    // Files dropped on the window, as a file manager drops them.
    virtual void dropFiles(const std::vector<app::Text>& paths) = 0;

    // Handles events until 'done' holds or the bound passes; true when it holds.
    virtual bool waitUntil(const std::function<bool()>& done, int milliseconds = 10000) = 0;
    // Handles what is queued now: a marker is posted behind it through the same queue and
    // events are handled until the marker is (true), or the bound passes (false). Events are
    // handled in order, so whatever the actions before had queued (a click, a deferred
    // handler, a box) has then been handled too: what must not follow them has had its chance.
    virtual bool settle() = 0;
    // Arranges that once the window's loop runs, 'steps' run in it and then the window is
    // closed as with its close button.
    virtual void whileLooping(std::function<void()> steps) = 0;

    // A folder of the test's own (the path in the program's code page, with no separator at
    // its end), removed with the driver.
    virtual app::Text folder() = 0;
};

using DriverFactory = std::unique_ptr<WindowDriver> (*)();
// Names the tests after their window ("Qt/WindowConformance.X/Qt") instead of an index, so that
// a failure says which window failed. CTest takes the name as it is (NO_PRETTY_VALUES), not
// with the factory's address.
struct NamedAfter {
    const char* window;
    std::string operator()(const ::testing::TestParamInfo<DriverFactory>&) const { return window; }
};

struct NoContextMenu : app::ContextMenuEntry {
    bool entryPresent() override { return false; }
    shell::ShellOutcome setEntry(bool) override { return shell::ShellOutcome::done(); }
};
struct NoUpdate : app::UpdateCheck {
    void startUpdateCheck() override {}
};

// The window as the program builds it, before the handlers are bound; a test binds them, or
// its own, as it needs.
class WindowConformance : public ::testing::TestWithParam<DriverFactory> {
protected:
    std::unique_ptr<WindowDriver> driver = GetParam()();
    app::MainWindow& window = driver->window();
    splitter::SourceDocument document;
    NoContextMenu contextMenu;
    NoUpdate update;
    app::Application program{
        document, splitter::systemFileService(), window, contextMenu, update, driver->platform()};
    std::vector<app::ControlLayout> table =
        app::controlTable(driver->platform().presetOutputDirectory);

    void SetUp() override {
        program.buildMainWindow();
        const std::string why = driver->whyNoWindow();
        if (!why.empty()) GTEST_SKIP() << why;
    }
    app::Text separator() { return splitter::pathSeparator(driver->platform().pathStyle); }
    app::Text inFolder(const char* name) { return driver->folder() + separator() + name; }
};

}  // namespace folioknife::testing
