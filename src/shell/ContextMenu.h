#pragma once
// The context-menu entry "一键分割": whether it is there, and adding or removing it. The window's
// check box and its warning are the application's; this knows no window.
#include <memory>
#include <vector>

#include "shell/EntryPlace.h"
#include "shell/Process.h"

namespace folioknife::shell {

// The entry as the window's check box sees it.
class ContextMenuEntry {
public:
    virtual ~ContextMenuEntry() = default;
    // Whether the entry's menu text is there, in any place: anything but "no".
    virtual bool entryPresent() = 0;
    // Adds the entry in the first place that takes it, or removes it from every place; the
    // reason of the last place tried when no place takes it, of the first that keeps it.
    virtual ShellOutcome setEntry(bool present) = 0;
};

class ContextMenu : public ContextMenuEntry {
public:
    // 'program': the executable the entry starts, with its full path.
    ContextMenu(std::vector<std::unique_ptr<EntryPlace>> places, Text program);
    bool entryPresent() override;
    ShellOutcome setEntry(bool present) override;

private:
    std::vector<std::unique_ptr<EntryPlace>> places_;
    Text program_;
};

// The entry over the system's places, for the running executable.
std::unique_ptr<ContextMenuEntry> makeContextMenuEntry();

}  // namespace folioknife::shell
