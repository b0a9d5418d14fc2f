#include "app/MainWindow.h"

namespace folioknife::app {

namespace {

void runHandler(const std::function<void()>& slot) {
    if (!slot) return;
    auto handler = slot;
    handler();
}

}  // namespace

void MainWindow::create(const std::vector<ControlLayout>& controls,
                        const OpenFileDialogSetup& dialog) {
    clicks_ = {};
    destroyed_ = nullptr;
    dropWanted_ = nullptr;
    dropped_ = nullptr;
    ids_ = {};
    controlIdCounter_ = kControlIdCounterStart;
    createWindow(windowTitle(), windowLayout());
    int created = 0;
    for (const ControlLayout& layout : controls) {
        if (created == kControlsBeforeOpenFileDialog) setUpOpenFileDialog(dialog);
        const int id = ++controlIdCounter_;
        ids_[static_cast<std::size_t>(layout.control)] = id;
        createControl(layout, id);
        ++created;
    }
    if (created <= kControlsBeforeOpenFileDialog) setUpOpenFileDialog(dialog);
}

void MainWindow::bindClick(Control control, std::function<void()> handler) {
    clicks_[static_cast<std::size_t>(control)] = std::move(handler);
}

void MainWindow::bindDestroyed(std::function<void()> handler) { destroyed_ = std::move(handler); }

void MainWindow::bindFileDrop(std::function<bool(const DroppedFiles&)> wanted,
                              std::function<void(const DroppedFiles&)> dropped) {
    dropWanted_ = std::move(wanted);
    dropped_ = std::move(dropped);
}

std::optional<Control> MainWindow::controlWithId(int id) const {
    for (std::size_t i = 0; i < ids_.size(); ++i)
        if (id != 0 && ids_[i] == id) return static_cast<Control>(i);
    return std::nullopt;
}

void MainWindow::controlClicked(Control control) {
    runHandler(clicks_[static_cast<std::size_t>(control)]);
}

void MainWindow::windowDestroyed() { runHandler(destroyed_); }

bool MainWindow::fileDropWanted(const DroppedFiles& files) const {
    return dropWanted_ && dropped_ && dropWanted_(files);
}

void MainWindow::filesDropped(const DroppedFiles& files) {
    if (!fileDropWanted(files)) return;
    auto handler = dropped_;  // a copy, as for clicks
    handler(files);
}

}  // namespace folioknife::app
