#include "shell/ContextMenu.h"

namespace folioknife::shell {

ContextMenu::ContextMenu(std::unique_ptr<ShellPlatform> platform)
    : platform_(std::move(platform)) {}

bool ContextMenu::entryPresent() {
    return shell::entryPresent(
        platform_->readRegistryText(RegistryRoot::LocalMachine, probePath(), probeDefault()));
}

void ContextMenu::setEntry(bool present) {
    if (!present) {
        platform_->runCommandLine(deleteLine(), false, ShowMode::Hidden);
        return;
    }
    platform_->runCommandLine(verbLine(), false, ShowMode::Hidden);
    const Text path = platform_->executablePath();
    const PathStyle style = platform_->pathStyle();
    platform_->runCommandLine(
        commandValueLine(programDirectory(path, style), programFileName(path, style), style), false,
        ShowMode::Hidden);
}

Text programDirectory() { return programDirectory(executablePath(), splitter::nativePathStyle()); }

std::unique_ptr<ContextMenuEntry> makeContextMenuEntry() {
    return std::make_unique<ContextMenu>(makeShellPlatform());
}

}  // namespace folioknife::shell
