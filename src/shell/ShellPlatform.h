#pragma once
// What the context-menu entry needs of the system, one implementation per platform.
#include <memory>

#include "shell/Process.h"
#include "shell/RegCommandLines.h"

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
    // Runs the command line hidden to its end: nothing when it succeeded, otherwise why.
    virtual std::optional<Text> runToEnd(const Text& commandLine) = 0;
    virtual Text executablePath() = 0;
    virtual PathStyle pathStyle() = 0;
};

// The system's registry and REG tool on Windows; a desktop entry in the user's applications
// folder on Linux.
std::unique_ptr<ShellPlatform> makeShellPlatform();

}  // namespace folioknife::shell
