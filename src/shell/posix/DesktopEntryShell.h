#pragma once
// The desktop entry in the user's applications folder that stands in for the registry entry
// and the REG tool on Linux. Needs no root: it is the user's own folder.
#include "shell/DesktopEntry.h"
#include "shell/ShellPlatform.h"

namespace folioknife::shell {

// $XDG_DATA_HOME/applications, or ~/.local/share/applications when that is unset, empty or
// not absolute; with the file name of our entry.
Text desktopEntryPath();

// errno's code in the system's words, in the program's code page.
Text systemReason(int error);

class DesktopEntryShell : public ShellPlatform {
public:
    // The probe's path maps to the entry's Name; every other path has no value.
    Text readRegistryText(RegistryRoot root, const Text& path, const Text& defaultText) override;
    // REG lines are carried out on the desktop entry, as there is no REG here; any other
    // command line starts its program.
    bool runCommandLine(const Text& commandLine, bool wait, ShowMode show) override;
    // The same, waited for: a REG line whose file cannot be written or removed says why.
    std::optional<Text> runToEnd(const Text& commandLine) override;
    Text executablePath() override;
    PathStyle pathStyle() override { return PathStyle::Posix; }
};

}  // namespace folioknife::shell
