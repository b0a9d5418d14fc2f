#pragma once
// How each kind of control is made on Windows: its system class and styles, and the filter
// bytes of the open-file dialog. Kept apart from the window so the choices can be checked
// without creating anything.
#include <windows.h>

#include <string>
#include <vector>

#include "app/MainWindow.h"

namespace folioknife::app::win32 {

struct ControlClass {
    const wchar_t* className;  // a system class
    DWORD style;
    DWORD exStyle;
};

ControlClass controlClass(ControlKind kind);

// A colour of the table as Windows writes it (0x00BBGGRR).
COLORREF colourRef(Rgb rgb);

// The open-file dialog's type list, in the program's code page, as GetOpenFileNameW reads it
// once converted: name, NUL, patterns, NUL for
// every entry, and one more NUL to end the list.
std::string openFileFilterBytes(const std::vector<FileFilter>& filters);

}  // namespace folioknife::app::win32
