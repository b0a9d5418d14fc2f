#pragma once
// What the context-menu entry needs of the system, one implementation per platform.
#include <memory>
#include <optional>

#include "shell/Process.h"
#include "shell/RegCommandLines.h"

namespace folioknife::shell {

// The machine's entry (HKEY_LOCAL_MACHINE), or the current user's (HKEY_CURRENT_USER), which
// needs no administrator.
enum class RegistryRoot { LocalMachine, CurrentUser };

// What the entry needs of the system: the registry read and the process start on Windows, or
// what stands in for them elsewhere.
class ShellPlatform {
public:
    virtual ~ShellPlatform() = default;
    // The text stored at path below root (split by splitRegistryPath), or defaultText when the
    // value is missing, empty, or not a string.
    virtual Text readRegistryText(RegistryRoot root, const Text& path, const Text& defaultText) = 0;
    virtual bool runCommandLine(const Text& commandLine, bool wait, ShowMode show) = 0;
    // Runs the command line hidden to its end: nothing when it succeeded, otherwise why.
    virtual std::optional<Text> runToEnd(const Text& commandLine) = 0;
    virtual Text executablePath() = 0;
    virtual PathStyle pathStyle() = 0;

    // Writes the entry below root (its menu text and its command, the executable with "%1") or
    // removes it with all it holds; nothing when done (an entry that is not there is removed
    // already), else the system's reason. By default the machine's entry through the REG lines,
    // whose outcome is not known: a line that could not be carried out is the only failure seen.
    virtual std::optional<Text> writeEntry(RegistryRoot root);
    virtual std::optional<Text> removeEntry(RegistryRoot root);
    // Whether the system has an entry of the current user's beside the machine's.
    virtual bool hasUserEntry() { return false; }
};

// The system's registry and REG tool on Windows; a desktop entry in the user's applications
// folder on Linux.
std::unique_ptr<ShellPlatform> makeShellPlatform();

}  // namespace folioknife::shell
