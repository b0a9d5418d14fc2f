// The preset output folder on Windows.
#include <windows.h>
// clang-format off
#include <knownfolders.h>
#include <shlobj.h>
// clang-format on

#include <string>

#include "app/Application.h"
#include "splitter/CodePage.h"
#include "splitter/win32/WideText.h"

namespace folioknife::app {

namespace {

// "output" in the user's Documents folder, in the program's code page; nothing when the folder
// is unknown or its name cannot be written in that code page.
std::optional<Text> outputInDocuments() {
    PWSTR wide = nullptr;
    std::optional<Text> folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &wide)) && wide) {
        if (std::optional<Text> path = splitter::fromWide(wide); path && !path->empty())
            folder = splitter::joinPath(*path, "output", splitter::PathStyle::Windows);
    }
    CoTaskMemFree(wide);
    return folder;
}

}  // namespace

Platform currentPlatform() {
    // D:\output has always been the preset, and a reader with a drive D: keeps it; where D: is
    // missing or removable (a card reader, a DVD drive) the first split would fail there.
    Text preset = "D:\\output";
    if (GetDriveTypeW(L"D:\\") != DRIVE_FIXED) {
        if (std::optional<Text> documents = outputInDocuments()) preset = *documents;
    }
    return Platform{splitter::PathStyle::Windows, preset};
}

}  // namespace folioknife::app
