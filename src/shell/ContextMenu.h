#pragma once
// The context-menu entry "一键分割": whether it is there, and adding or removing it. The window's
// check box and its warning are the application's; this knows no window.
#include <memory>
#include <optional>

#include "shell/ShellPlatform.h"

namespace folioknife::shell {

// The entry as the window's check box sees it.
class ContextMenuEntry {
public:
    virtual ~ContextMenuEntry() = default;
    // Whether the entry's menu text is there: anything but "no" read from the registry.
    virtual bool entryPresent() = 0;
    // Adds the entry, the machine's or else the current user's, or removes every one there is.
    // Nothing when done, else the system's reason; an entry half written is taken out again.
    [[nodiscard]] virtual std::optional<Text> setEntry(bool present) = 0;
};

class ContextMenu : public ContextMenuEntry {
public:
    explicit ContextMenu(std::unique_ptr<ShellPlatform> platform);
    bool entryPresent() override;
    [[nodiscard]] std::optional<Text> setEntry(bool present) override;

private:
    std::unique_ptr<ShellPlatform> platform_;
};

// The entry over makeShellPlatform().
std::unique_ptr<ContextMenuEntry> makeContextMenuEntry();

}  // namespace folioknife::shell
