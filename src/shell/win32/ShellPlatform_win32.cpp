// The context-menu entry on Windows: read from the registry at start, written and removed
// through the registry's own calls, whose results say why a change failed.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "shell/ShellPlatform.h"
#include "shell/win32/Registry.h"
#include "splitter/win32/WideText.h"

namespace folioknife::shell {

Text readRegistryText(HKEY root, const Text& path, const Text& defaultText) {
    if (path.empty()) return defaultText;
    const RegistryPath parts = splitRegistryPath(path);
    const std::optional<std::wstring> key16 = splitter::toWide(parts.key);
    const std::optional<std::wstring> name16 = splitter::toWide(parts.valueName);
    if (!key16 || !name16) return defaultText;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, key16->c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return defaultText;

    std::vector<BYTE> buffer(2048);
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(buffer.size());
    LONG status = RegQueryValueExW(key, name16->c_str(), nullptr, &type, buffer.data(), &size);
    // The value may grow between two calls; each answer names the size it needs now.
    while (status == ERROR_MORE_DATA) {
        buffer.assign(size, 0);
        status = RegQueryValueExW(key, name16->c_str(), nullptr, &type, buffer.data(), &size);
    }
    Text value;
    if (status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
        // The stored data need not end in a NUL; the text ends at the first one or with the
        // data. REG_EXPAND_SZ is taken as stored. A text that the program's code page cannot
        // write is shown with '?' for what it lacks.
        std::wstring data(size / sizeof(wchar_t), L'\0');
        if (!data.empty()) std::memcpy(&data[0], buffer.data(), data.size() * sizeof(wchar_t));
        data.resize(std::min(data.size(), data.find(L'\0')));
        value = splitter::fromWideForDisplay(data);
    }
    RegCloseKey(key);
    return value.empty() ? defaultText : value;
}

namespace {

HKEY rootKey(RegistryRoot root) {
    return root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}
Text entryKey(RegistryRoot root) {
    return root == RegistryRoot::LocalMachine ? machineEntryKey() : userEntryKey();
}

// Sets the default value of the key, made if need be; the system's reason when it cannot.
std::optional<Text> setDefaultValue(HKEY root, const Text& key, const Text& value) {
    const std::optional<std::wstring> wideKey = splitter::toWide(key);
    const std::optional<std::wstring> wideValue = splitter::toWide(value);
    if (!wideKey || !wideValue) return splitter::systemReason(ERROR_NO_UNICODE_TRANSLATION);
    HKEY opened = nullptr;
    LSTATUS status = RegCreateKeyExW(root, wideKey->c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_SET_VALUE, nullptr, &opened, nullptr);
    if (status != ERROR_SUCCESS) return splitter::systemReason(static_cast<DWORD>(status));
    status = RegSetValueExW(opened, nullptr, 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(wideValue->c_str()),
                            static_cast<DWORD>((wideValue->size() + 1) * sizeof(wchar_t)));
    RegCloseKey(opened);
    if (status != ERROR_SUCCESS) return splitter::systemReason(static_cast<DWORD>(status));
    return std::nullopt;
}

// The key with all it holds; one that is not there is gone already.
std::optional<Text> deleteKey(HKEY root, const Text& key) {
    const std::optional<std::wstring> wideKey = splitter::toWide(key);
    if (!wideKey) return splitter::systemReason(ERROR_NO_UNICODE_TRANSLATION);
    const LSTATUS status = RegDeleteTreeW(root, wideKey->c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        return splitter::systemReason(static_cast<DWORD>(status));
    return std::nullopt;
}

class RegistryShell : public ShellPlatform {
public:
    Text readRegistryText(RegistryRoot root, const Text& path, const Text& defaultText) override {
        return shell::readRegistryText(rootKey(root), path, defaultText);
    }
    std::optional<Text> writeEntry(RegistryRoot root) override {
        const Text key = entryKey(root);
        std::optional<Text> failure = setDefaultValue(rootKey(root), key, menuText());
        if (!failure)
            failure = setDefaultValue(rootKey(root), key + "\\command",
                                      entryCommand(shell::executablePath()));
        // A menu text without its command would be an entry that does nothing.
        if (failure) (void)deleteKey(rootKey(root), key);
        return failure;
    }
    std::optional<Text> removeEntry(RegistryRoot root) override {
        return deleteKey(rootKey(root), entryKey(root));
    }
    bool hasUserEntry() override { return true; }
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
