// The context-menu entry on Windows: read from the registry at start, written and removed by
// the system's REG tool.
#include <windows.h>

#include <vector>

#include "shell/ShellPlatform.h"
#include "shell/win32/Registry.h"

namespace folioknife::shell {

Text readRegistryText(HKEY root, const Text& path, const Text& defaultText) {
    if (path.empty()) return defaultText;
    const RegistryPath parts = splitRegistryPath(path);
    HKEY key = nullptr;
    if (RegOpenKeyA(root, parts.key.c_str(), &key) != ERROR_SUCCESS) return defaultText;

    std::vector<BYTE> buffer(1024);
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(buffer.size());
    LONG status =
        RegQueryValueExA(key, parts.valueName.c_str(), nullptr, &type, buffer.data(), &size);
    // The value may grow between two calls; each answer names the size it needs now.
    while (status == ERROR_MORE_DATA) {
        buffer.assign(size, 0);
        status =
            RegQueryValueExA(key, parts.valueName.c_str(), nullptr, &type, buffer.data(), &size);
    }
    Text value;
    if (status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
        // The stored data need not end in a NUL; the text ends at the first one or with the
        // data. REG_EXPAND_SZ is taken as stored.
        const char* data = reinterpret_cast<const char*>(buffer.data());
        std::size_t length = 0;
        while (length < size && data[length] != '\0') ++length;
        value.assign(data, length);
    }
    RegCloseKey(key);
    return value.empty() ? defaultText : value;
}

namespace {

class RegistryShell : public ShellPlatform {
public:
    Text readRegistryText(RegistryRoot, const Text& path, const Text& defaultText) override {
        return shell::readRegistryText(HKEY_LOCAL_MACHINE, path, defaultText);
    }
    bool runCommandLine(const Text& commandLine, bool wait, ShowMode show) override {
        return shell::runCommandLine(commandLine, wait, show);
    }
    std::optional<Text> runToEnd(const Text& commandLine) override {
        return shell::runToEnd(commandLine);
    }
    Text executablePath() override { return shell::executablePath(); }
    PathStyle pathStyle() override { return PathStyle::Windows; }
};

}  // namespace

std::unique_ptr<ShellPlatform> makeShellPlatform() { return std::make_unique<RegistryShell>(); }

}  // namespace folioknife::shell
