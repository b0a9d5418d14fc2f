#include "shell/ContextMenu.h"

namespace folioknife::shell {

ContextMenu::ContextMenu(std::vector<std::unique_ptr<EntryPlace>> places, Text program)
    : places_(std::move(places)), program_(std::move(program)) {}

bool ContextMenu::entryPresent() {
    for (const auto& place : places_) {
        const Text probed = place->menuText();
        if (shell::entryPresent(probed.empty() ? probeDefault() : probed)) return true;
    }
    return false;
}

ShellOutcome ContextMenu::setEntry(bool present) {
    ShellOutcome outcome = ShellOutcome::done();
    if (present) {
        // The machine's entry needs an administrator; anyone may write their own.
        for (const auto& place : places_) {
            outcome = place->write(program_);
            if (outcome.ok()) break;
        }
        return outcome;
    }
    for (const auto& place : places_) {
        ShellOutcome removed = place->remove();
        if (outcome.ok()) outcome = std::move(removed);
    }
    return outcome;
}

Text programDirectory() { return programDirectory(executablePath(), splitter::nativePathStyle()); }

std::unique_ptr<ContextMenuEntry> makeContextMenuEntry() {
    return std::make_unique<ContextMenu>(makeEntryPlaces(), executablePath());
}

}  // namespace folioknife::shell
