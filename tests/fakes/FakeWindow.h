#pragma once
// A main window over the window core that keeps its controls' state in memory, records every
// call in order and answers dialogs and message boxes from queues.
#include <array>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/MainWindow.h"

namespace folioknife::testing {

class FakeWindow : public app::MainWindow {
protected:
    void createWindow(const app::Text& title, const app::WindowLayout&) override {
        log.push_back("create");
        windowTitle = title;
        controls.clear();
        closed = false;
    }
    void createControl(const app::ControlLayout& layout, int id) override {
        controls[layout.control] = State{layout.caption,
                                         layout.checked,
                                         layout.enabled,
                                         id,
                                         {layout.x, layout.y, layout.width, layout.height}};
    }
    void setUpOpenFileDialog(const app::OpenFileDialogSetup& setup) override {
        dialog = setup;
        dialogSetUpAfter = static_cast<int>(controls.size());
    }
    // Runs 'duringLoop' once, as if from within the loop; the loop ends with the quit code.
    int runLoop() override {
        log.push_back("loop");
        ++loopRuns;
        if (auto during = std::exchange(duringLoop, nullptr)) during();
        return quitCode < 0 ? 0 : quitCode;
    }

public:
    struct State {
        app::Text text;
        bool checked = false;
        bool enabled = true;
        int id = 0;
        std::array<int, 4> geometry{};  // x, y, width, height
    };
    struct Box {
        app::Text text, title;
        app::MessageBoxButtons buttons;
    };
    std::map<app::Control, State> controls;
    std::vector<std::string> log;
    std::vector<Box> boxes;
    std::deque<std::optional<app::Text>> openDialogAnswers;  // nothing = cancel
    std::deque<app::Text> folderAnswers;
    std::deque<app::MessageBoxAnswer> boxAnswers;
    std::function<void(const Box&)> whileBoxShown;  // runs while a box is up (nested clicks)
    std::function<void()> duringLoop;
    std::deque<app::Control> queuedClicks;  // input not yet handled: see postClick()
    app::Text windowTitle;
    app::OpenFileDialogSetup dialog;
    int dialogSetUpAfter = -1;  // how many controls existed when the dialog was set up
    int loopRuns = 0;
    int quitCode = -1;
    bool busy = false;
    bool closed = false;   // destroyed(): the controls are gone with the window
    int unpairedBusy = 0;  // setBusy calls that did not alternate, true first

    app::Text title() override { return windowTitle; }
    void setTitle(const app::Text& t) override {
        log.push_back("setTitle " + t);
        windowTitle = t;
    }
    // A control that is gone reads empty and unchecked, and takes nothing, as a destroyed
    // Windows control does.
    app::Text text(app::Control c) override { return closed ? app::Text() : controls[c].text; }
    void setText(app::Control c, const app::Text& t) override {
        log.push_back(std::string("setText ") + app::controlName(c) + " " + t);
        if (!closed) controls[c].text = t.substr(0, t.find('\0'));  // it ends at a NUL
    }
    bool isChecked(app::Control c) override { return !closed && controls[c].checked; }
    void setChecked(app::Control c, bool on) override {
        log.push_back(std::string("setChecked ") + app::controlName(c) + (on ? " 1" : " 0"));
        if (!closed) controls[c].checked = on;
    }
    void setEnabled(app::Control c, bool on) override {
        log.push_back(std::string(on ? "enable " : "disable ") + app::controlName(c));
        if (!closed) controls[c].enabled = on;
    }
    void bindClick(app::Control c, std::function<void()> handler) override {
        log.push_back(std::string("bind ") + app::controlName(c));
        MainWindow::bindClick(c, std::move(handler));
    }
    void setBusy(bool on) override {
        log.push_back(on ? "busy" : "idle");
        if (on == busy) ++unpairedBusy;
        busy = on;
        if (!on) queuedClicks.clear();  // the input that came while busy is thrown away
    }
    void bindFileDrop(std::function<bool(const DroppedFiles&)> wanted,
                      std::function<void(const DroppedFiles&)> dropped) override {
        log.push_back("bind drop");
        MainWindow::bindFileDrop(std::move(wanted), std::move(dropped));
    }
    void bindDestroyed(std::function<void()> handler) override {
        log.push_back("bind destroyed");
        MainWindow::bindDestroyed(std::move(handler));
    }
    void postQuit(int code) override {
        log.push_back("quit " + std::to_string(code));
        quitCode = code;
    }
    std::optional<app::Text> showOpenFileDialog() override {
        log.push_back("openDialog");
        auto answer = openDialogAnswers.front();
        openDialogAnswers.pop_front();
        return answer;
    }
    app::Text browseForFolder(const app::Text& title) override {
        log.push_back("browse " + title);
        auto answer = folderAnswers.front();
        folderAnswers.pop_front();
        return answer;
    }
    app::MessageBoxAnswer showMessageBox(const app::Text& text, const app::Text& title,
                                         app::MessageBoxButtons buttons) override {
        log.push_back("box " + text);
        boxes.push_back(Box{text, title, buttons});
        if (whileBoxShown) {
            auto nested = whileBoxShown;
            whileBoxShown = nullptr;
            nested(boxes.back());
        }
        if (boxAnswers.empty()) return app::MessageBoxAnswer::Ok;
        auto answer = boxAnswers.front();
        boxAnswers.pop_front();
        return answer;
    }

    // A user's click: an automatic check box or radio button changes its mark first.
    void click(app::Control c) {
        if (c == app::Control::ContextMenuCheck || c == app::Control::DeleteSourceCheck) {
            controls[c].checked = !controls[c].checked;
        } else if (c == app::Control::DefaultModeRadio || c == app::Control::CustomModeRadio) {
            controls[app::Control::DefaultModeRadio].checked = c == app::Control::DefaultModeRadio;
            controls[app::Control::CustomModeRadio].checked = c == app::Control::CustomModeRadio;
        }
        controlClicked(c);
    }
    // A click through the input queue, handled by handleQueuedClicks() unless the window is
    // busy meanwhile.
    void postClick(app::Control c) { queuedClicks.push_back(c); }
    void handleQueuedClicks() {
        while (!queuedClicks.empty()) {
            const app::Control c = queuedClicks.front();
            queuedClicks.pop_front();
            click(c);
        }
    }
    // Files dragged over the window and dropped, as the toolkit reports them.
    bool dragOver(const DroppedFiles& files) const { return fileDropWanted(files); }
    void drop(const DroppedFiles& files) { filesDropped(files); }
    // The window's destruction, as the toolkit reports it.
    void destroyed() {
        closed = true;
        windowDestroyed();
    }
    std::vector<app::Text> boxTexts() const {
        std::vector<app::Text> t;
        for (const auto& b : boxes) t.push_back(b.text);
        return t;
    }
};

}  // namespace folioknife::testing
