#include "shell/ContextMenu.h"

namespace folioknife::shell {

ContextMenu::ContextMenu(std::unique_ptr<ShellPlatform> platform)
    : platform_(std::move(platform)) {}

bool ContextMenu::entryPresent() {
    if (shell::entryPresent(
            platform_->readRegistryText(RegistryRoot::LocalMachine, probePath(), probeDefault())))
        return true;
    return platform_->hasUserEntry() &&
           shell::entryPresent(platform_->readRegistryText(RegistryRoot::CurrentUser,
                                                           userProbePath(), probeDefault()));
}

std::optional<Text> ContextMenu::setEntry(bool present) {
    if (present) {
        // The machine's entry needs an administrator; anyone may write their own.
        std::optional<Text> failure = platform_->writeEntry(RegistryRoot::LocalMachine);
        if (failure && platform_->hasUserEntry())
            failure = platform_->writeEntry(RegistryRoot::CurrentUser);
        return failure;
    }
    std::optional<Text> failure = platform_->removeEntry(RegistryRoot::LocalMachine);
    if (platform_->hasUserEntry()) {
        std::optional<Text> user = platform_->removeEntry(RegistryRoot::CurrentUser);
        if (!failure) failure = user;
    }
    return failure;
}

std::optional<Text> ShellPlatform::writeEntry(RegistryRoot root) {
    if (root != RegistryRoot::LocalMachine) return Text();
    const Text path = executablePath();
    const PathStyle style = pathStyle();
    if (std::optional<Text> failed = runToEnd(verbLine())) return failed;
    return runToEnd(
        commandValueLine(programDirectory(path, style), programFileName(path, style), style));
}

std::optional<Text> ShellPlatform::removeEntry(RegistryRoot root) {
    if (root != RegistryRoot::LocalMachine) return std::nullopt;
    return runToEnd(deleteLine());
}

Text programDirectory() { return programDirectory(executablePath(), splitter::nativePathStyle()); }

std::unique_ptr<ContextMenuEntry> makeContextMenuEntry() {
    return std::make_unique<ContextMenu>(makeShellPlatform());
}

}  // namespace folioknife::shell
