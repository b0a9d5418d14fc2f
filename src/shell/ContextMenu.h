#pragma once
// The context-menu entry "一键分割": the probe at start and the click on ContextMenuCheck.
#include <memory>

#include "app/Application.h"
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

class ContextMenu : public app::ContextMenuEntry {
  public:
    explicit ContextMenu(std::unique_ptr<ShellPlatform> platform);

    // Checks the box when the entry's menu text is there; never clears it.
    void probeContextMenuEntry(app::MainWindow& window) override;
    // The warning first, on every click; then the box's mark, read afresh, chooses between
    // the two REG ADD lines and the REG DELETE line. Nothing is waited for or looked at.
    void onContextMenuCheckClicked(app::MainWindow& window) override;

  private:
    std::unique_ptr<ShellPlatform> platform_;
};

// The system's registry and REG tool on Windows; a desktop entry in the user's applications
// folder on Linux.
std::unique_ptr<ShellPlatform> makeShellPlatform();

// The entry over makeShellPlatform().
std::unique_ptr<app::ContextMenuEntry> makeContextMenuEntry();

}  // namespace folioknife::shell
