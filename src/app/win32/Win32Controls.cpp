#include "app/win32/Win32Controls.h"

namespace folioknife::app::win32 {

ControlClass controlClass(ControlKind kind) {
    constexpr DWORD child = WS_CHILD | WS_VISIBLE;
    switch (kind) {
        case ControlKind::PushButton:
            return {L"Button", child | WS_TABSTOP | BS_PUSHBUTTON, 0};
        case ControlKind::RadioButton:
            // The two radio buttons are the only automatic ones in the window, so choosing one
            // clears the other without a group style.
            return {L"Button", WS_CLIPSIBLINGS | child | WS_TABSTOP | BS_AUTORADIOBUTTON, 0};
        case ControlKind::CheckBox:
            return {L"Button", WS_CLIPSIBLINGS | child | WS_TABSTOP | BS_AUTOCHECKBOX, 0};
        case ControlKind::Edit:
            // No ES_NUMBER and no length limit: the chapter count is parsed, not filtered.
            return {L"Edit", child | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
        case ControlKind::Label:
            return {L"Static", child | WS_TABSTOP | SS_LEFTNOWORDWRAP, 0};
        case ControlKind::GroupBox:
            return {L"Button", WS_CLIPSIBLINGS | child | BS_GROUPBOX, 0};
    }
    return {L"Static", child, 0};
}

COLORREF colourRef(Rgb rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

std::string openFileFilterBytes(const std::vector<FileFilter>& filters) {
    std::string bytes;
    for (const FileFilter& filter : filters) {
        bytes += filter.name;
        bytes += '\0';
        bytes += filter.patterns;
        bytes += '\0';
    }
    bytes += '\0';                       // ends the list
    if (filters.empty()) bytes += '\0';  // an empty list is two NULs all the same
    return bytes;
}

}  // namespace folioknife::app::win32
