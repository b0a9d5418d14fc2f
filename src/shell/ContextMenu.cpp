#include "shell/ContextMenu.h"

namespace folioknife::shell {

using app::Control;

ContextMenu::ContextMenu(std::unique_ptr<ShellPlatform> platform)
    : platform_(std::move(platform)) {}

void ContextMenu::probeContextMenuEntry(app::MainWindow& window) {
    const Text probed =
        platform_->readRegistryText(RegistryRoot::LocalMachine, probePath(), probeDefault());
    if (entryPresent(probed)) window.setChecked(Control::ContextMenuCheck, true);
}

void ContextMenu::onContextMenuCheckClicked(app::MainWindow& window) {
    splitter::showMessageBox(window, warningText());
    // The box has no owner, so further clicks may have run while it was up: only the mark as
    // it stands now counts.
    if (window.isChecked(Control::ContextMenuCheck)) {
        platform_->runCommandLine(verbLine(), false, ShowMode::Hidden);
        const Text path = platform_->executablePath();
        const PathStyle style = platform_->pathStyle();
        platform_->runCommandLine(
            commandValueLine(programDirectory(path, style), programFileName(path, style), style),
            false, ShowMode::Hidden);
    } else {
        platform_->runCommandLine(deleteLine(), false, ShowMode::Hidden);
    }
}

std::unique_ptr<app::ContextMenuEntry> makeContextMenuEntry() {
    return std::make_unique<ContextMenu>(makeShellPlatform());
}

}  // namespace folioknife::shell
