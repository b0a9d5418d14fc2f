#pragma once
// The context-menu entry "一键分割": whether it is there, and adding or removing it. The window's
// check box and its warning are the application's; this knows no window.
#include <memory>

#include "shell/Process.h"
#include "shell/ShellText.h"

namespace folioknife::shell {

enum class RegistryRoot { LocalMachine };

// What the entry needs of the system: the registry read and the process start on Windows, or
// what stands in for them elsewhere.
class ShellPlatform {
public:
    virtual ~ShellPlatform() = default;
    // The text stored at path below root (split by splitRegistryPath), or defaultText when the
    // value is missing, empty, or not a string.
    virtual Text readRegistryText(RegistryRoot root, const Text& path, const Text& defaultText) = 0;
    virtual bool runCommandLine(const Text& commandLine, bool wait, ShowMode show) = 0;
    virtual Text executablePath() = 0;
    virtual PathStyle pathStyle() = 0;
};

// The entry as the window's check box sees it.
class ContextMenuEntry {
public:
    virtual ~ContextMenuEntry() = default;
    // Whether the entry's menu text is there: anything but "no" read from the registry.
    virtual bool entryPresent() = 0;
    // Adds the entry (the verb line, then the command-value line) or removes it (the delete
    // line). Nothing is waited for or looked at.
    virtual void setEntry(bool present) = 0;
};

class ContextMenu : public ContextMenuEntry {
public:
    explicit ContextMenu(std::unique_ptr<ShellPlatform> platform);
    bool entryPresent() override;
    void setEntry(bool present) override;

private:
    std::unique_ptr<ShellPlatform> platform_;
};

// The system's registry and REG tool on Windows; a desktop entry in the user's applications
// folder on Linux.
std::unique_ptr<ShellPlatform> makeShellPlatform();

// The entry over makeShellPlatform().
std::unique_ptr<ContextMenuEntry> makeContextMenuEntry();

}  // namespace folioknife::shell
