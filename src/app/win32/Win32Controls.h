#pragma once
// How each kind of control is made on Windows: its system class, styles and colours. Kept apart
// from the window so the choices can be checked without creating anything.
#include <windows.h>

#include <optional>

#include "app/Controls.h"

namespace folioknife::app::win32 {

struct ControlClass {
    const char* className;  // a system class
    DWORD style;
    DWORD exStyle;
};

ControlClass controlClass(ControlKind kind);

// What the parent answers to a control's WM_CTLCOLOR... message. The background is either the
// system's button face or a fixed colour.
struct ControlColours {
    COLORREF text;
    bool buttonFaceBackground;
    COLORREF background;  // when not the button face
};

// Nothing for the kinds that keep the system's colours (push buttons).
std::optional<ControlColours> controlColours(Control control, ControlKind kind);

// The open-file dialog's filter as GetOpenFileNameA reads it: every '|' becomes a NUL and the
// list ends with two NULs ("name|pattern" gives "name\0pattern\0\0").
std::string openFileFilterBytes(const Text& filter);

}  // namespace folioknife::app::win32
