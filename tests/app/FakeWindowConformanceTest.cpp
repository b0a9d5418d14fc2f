// The window contract run against the tests' fake window, so that the fake the handler tests
// rely on behaves as the real windows do.
#include <chrono>
#include <cstdlib>
#include <deque>
#include <thread>

#include "fakes/FakeWindow.h"
#include "window/WindowConformance.h"

namespace folioknife::testing {
namespace {
using app::Control;
using app::Text;

class FakeDriver : public WindowDriver {
    // The fake, answering from the driver's replies.
    class Window : public FakeWindow {
    public:
        explicit Window(FakeDriver& driver) : driver_(driver) {}
        app::MessageBoxAnswer showMessageBox(const Text& text, const Text& title,
                                             app::MessageBoxButtons buttons) override {
            const Reply reply = driver_.next(Reply::Kind::Box);
            ++driver_.boxesUp_;
            whileBoxShown = [&](const Box&) {
                if (reply.whileUp) reply.whileUp();
            };
            FakeWindow::showMessageBox(text, title, buttons);
            --driver_.boxesUp_;
            return reply.enter ? splitter::defaultAnswerOf(buttons) : reply.press;
        }
        std::optional<Text> showOpenFileDialog() override {
            openDialogAnswers.push_back(driver_.next(Reply::Kind::OpenFile).path);
            driver_.dialogs_.push_back({{dialog.title, dialog.filters.front().name}, true, ""});
            return FakeWindow::showOpenFileDialog();
        }
        Text browseForFolder(const Text& title) override {
            const Reply reply = driver_.next(Reply::Kind::Folder);
            folderAnswers.push_back(reply.path ? driver_.folderTheBrowserChooses() : Text());
            driver_.dialogs_.push_back({{title}, true, ""});
            return FakeWindow::browseForFolder(title);
        }

    private:
        FakeDriver& driver_;
    };

public:
    FakeDriver() {
        char name[] = "/tmp/fk-window-XXXXXX";
        folder_ = ::mkdtemp(name) ? name : "";
    }
    ~FakeDriver() override { std::system(("rm -rf '" + folder_ + "'").c_str()); }

    app::MainWindow& window() override { return window_; }
    app::Platform platform() override {
        return {splitter::PathStyle::Posix, "/home/reader/output"};
    }
    std::string whyNoWindow() override { return folder_.empty() ? "no temporary folder" : ""; }
    void click(Control c) override { window_.click(c); }
    void closeWindow() override { window_.destroyed(); }
    void postClick(Control c) override { window_.postClick(c); }
    void postSpaceBar(Control c) override { window_.postClick(c); }
    bool isEnabled(Control c) override { return window_.controls[c].enabled; }
    Rect geometry(Control c) override {
        const auto& g = window_.controls[c].geometry;
        return {g[0], g[1], g[2], g[3]};
    }
    bool busyCursorShown() override { return window_.busy; }
    void expect(Reply reply) override { replies_.push_back(std::move(reply)); }
    std::vector<ShownBox> boxes() override {
        std::vector<ShownBox> shown;
        for (const auto& b : window_.boxes)
            shown.push_back({b.title, b.text, true, splitter::defaultAnswerOf(b.buttons)});
        return shown;
    }
    std::vector<ShownDialog> dialogs() override { return dialogs_; }
    int boxesUp() override { return boxesUp_; }
    Text folderTheBrowserChooses() override { return folder_; }
    void dropFiles(const std::vector<Text>& paths) override { window_.drop(paths); }
    bool waitUntil(const std::function<bool()>& done, int milliseconds) override {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        for (;;) {
            window_.handleQueuedClicks();
            if (done()) return true;
            if (std::chrono::steady_clock::now() >= end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    // The fake's one queue is its queued clicks, handled in order.
    bool settle() override {
        window_.handleQueuedClicks();
        return true;
    }
    void whileLooping(std::function<void()> steps) override {
        window_.duringLoop = [this, steps] {
            steps();
            window_.destroyed();
        };
    }
    Text folder() override { return folder_; }

private:
    Reply next(Reply::Kind kind) {
        if (replies_.empty() || replies_.front().kind != kind) {
            ADD_FAILURE() << "a box or dialog came that the test did not expect";
            return Reply{kind, app::MessageBoxAnswer::Ok, std::nullopt, nullptr};
        }
        Reply reply = std::move(replies_.front());
        replies_.pop_front();
        return reply;
    }

    Window window_{*this};
    std::deque<Reply> replies_;
    std::vector<ShownDialog> dialogs_;
    int boxesUp_ = 0;
    std::string folder_;
};

std::unique_ptr<WindowDriver> makeFakeDriver() { return std::make_unique<FakeDriver>(); }

INSTANTIATE_TEST_SUITE_P(Fake, WindowConformance, ::testing::Values(&makeFakeDriver),
                         NamedAfter{"Fake"});

}  // namespace
}  // namespace folioknife::testing
