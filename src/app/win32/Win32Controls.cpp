#include "app/win32/Win32Controls.h"

namespace folioknife::app::win32 {

ControlClass controlClass(ControlKind kind) {
    constexpr DWORD child = WS_CHILD | WS_VISIBLE;
    switch (kind) {
        case ControlKind::PushButton:
            return {"Button", child | WS_TABSTOP | BS_PUSHBUTTON, 0};
        case ControlKind::RadioButton:
            // The two radio buttons are the only automatic ones in the window, so choosing one
            // clears the other without a group style.
            return {"Button", WS_CLIPSIBLINGS | child | WS_TABSTOP | BS_AUTORADIOBUTTON, 0};
        case ControlKind::CheckBox:
            return {"Button", WS_CLIPSIBLINGS | child | WS_TABSTOP | BS_AUTOCHECKBOX, 0};
        case ControlKind::Edit:
            // No ES_NUMBER and no length limit: the chapter count is parsed, not filtered.
            return {"Edit", child | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
        case ControlKind::Label:
            return {"Static", child | WS_TABSTOP | SS_LEFTNOWORDWRAP, 0};
        case ControlKind::GroupBox:
            return {"Button", WS_CLIPSIBLINGS | child | BS_GROUPBOX, 0};
    }
    return {"Static", child, 0};
}

std::optional<ControlColours> controlColours(Control control, ControlKind kind) {
    constexpr COLORREF black = RGB(0, 0, 0);
    switch (kind) {
        case ControlKind::PushButton:
            return std::nullopt;
        case ControlKind::Edit:
            return ControlColours{black, false, RGB(255, 255, 255)};
        case ControlKind::Label:
            if (control == Control::AuthorLabel) return ControlColours{RGB(0, 128, 0), true, 0};
            return ControlColours{black, true, 0};
        case ControlKind::RadioButton:
        case ControlKind::CheckBox:
        case ControlKind::GroupBox:
            return ControlColours{black, true, 0};
    }
    return std::nullopt;
}

std::string openFileFilterBytes(const Text& filter) {
    std::string bytes;
    bytes.reserve(filter.size() + 2);
    for (std::size_t i = 0; i < filter.size(); ++i) {
        const char c = filter[i];
        // 0x7C can be the second byte of a GBK character; only a '|' of its own separates.
        if (IsDBCSLeadByte(static_cast<BYTE>(c)) && i + 1 < filter.size()) {
            bytes += c;
            bytes += filter[++i];
            continue;
        }
        bytes += c == '|' ? '\0' : c;
    }
    bytes += '\0';  // ends the last string
    bytes += '\0';  // ends the list
    return bytes;
}

}  // namespace folioknife::app::win32
