// The context-menu entry on Windows: keys of the registry, read at start, written and removed
// through the registry's own calls, whose results say why a change failed.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "shell/EntryPlace.h"
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

// Sets the default value of the key, made if need be; the system's reason when it cannot.
ShellOutcome setDefaultValue(HKEY root, const Text& key, const Text& value) {
    const std::optional<std::wstring> wideKey = splitter::toWide(key);
    const std::optional<std::wstring> wideValue = splitter::toWide(value);
    if (!wideKey || !wideValue)
        return ShellOutcome::failed(splitter::systemReason(ERROR_NO_UNICODE_TRANSLATION));
    HKEY opened = nullptr;
    LSTATUS status = RegCreateKeyExW(root, wideKey->c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_SET_VALUE, nullptr, &opened, nullptr);
    if (status == ERROR_SUCCESS) {
        status = RegSetValueExW(opened, nullptr, 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(wideValue->c_str()),
                                static_cast<DWORD>((wideValue->size() + 1) * sizeof(wchar_t)));
        RegCloseKey(opened);
    }
    if (status != ERROR_SUCCESS)
        return ShellOutcome::failed(splitter::systemReason(static_cast<DWORD>(status)));
    return ShellOutcome::done();
}

// The key with all it holds; one that is not there is gone already.
ShellOutcome deleteKey(HKEY root, const Text& key) {
    const std::optional<std::wstring> wideKey = splitter::toWide(key);
    if (!wideKey) return ShellOutcome::failed(splitter::systemReason(ERROR_NO_UNICODE_TRANSLATION));
    const LSTATUS status = RegDeleteTreeW(root, wideKey->c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        return ShellOutcome::failed(splitter::systemReason(static_cast<DWORD>(status)));
    return ShellOutcome::done();
}

// The entry as a key below a root: its default value is the menu text, that of its "command"
// subkey the command.
class RegistryEntry : public EntryPlace {
public:
    RegistryEntry(HKEY root, Text key) : root_(root), key_(std::move(key)) {}
    Text menuText() override { return readRegistryText(root_, key_ + "\\", Text()); }
    ShellOutcome write(const Text& program) override {
        ShellOutcome outcome = setDefaultValue(root_, key_, shell::menuText());
        if (outcome.ok())
            outcome = setDefaultValue(root_, key_ + "\\command", entryCommand(program));
        // A menu text without its command would be an entry that does nothing.
        if (!outcome.ok()) (void)deleteKey(root_, key_);
        return outcome;
    }
    ShellOutcome remove() override { return deleteKey(root_, key_); }

private:
    HKEY root_;
    Text key_;
};

}  // namespace

std::vector<std::unique_ptr<EntryPlace>> makeEntryPlaces() {
    std::vector<std::unique_ptr<EntryPlace>> places;
    places.push_back(std::make_unique<RegistryEntry>(HKEY_LOCAL_MACHINE, machineEntryKey()));
    places.push_back(std::make_unique<RegistryEntry>(HKEY_CURRENT_USER, userEntryKey()));
    return places;
}

}  // namespace folioknife::shell
