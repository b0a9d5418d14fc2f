#include "shell/ContextMenu.h"

namespace folioknife::shell {

ContextMenu::ContextMenu(std::unique_ptr<ShellPlatform> platform)
    : platform_(std::move(platform)) {}

bool ContextMenu::entryPresent() {
    return shell::entryPresent(
        platform_->readRegistryText(RegistryRoot::LocalMachine, probePath(), probeDefault()));
}

std::optional<Text> ContextMenu::setEntry(bool present) {
    if (!present) return platform_->runToEnd(deleteLine());
    if (std::optional<Text> failed = platform_->runToEnd(verbLine())) return failed;
    const Text path = platform_->executablePath();
    const PathStyle style = platform_->pathStyle();
    return platform_->runToEnd(
        commandValueLine(programDirectory(path, style), programFileName(path, style), style));
}

Text programDirectory() { return programDirectory(executablePath(), splitter::nativePathStyle()); }

std::unique_ptr<ContextMenuEntry> makeContextMenuEntry() {
    return std::make_unique<ContextMenu>(makeShellPlatform());
}

}  // namespace folioknife::shell
