#pragma once
// The main window's top-level widget, found as a user finds it: the window its controls are in.
#include <QWidget>

#include "app/qt/QtMainWindow.h"

namespace folioknife::testing {

inline QWidget* frameOf(const app::qt::QtMainWindow& window) {
    QWidget* open = window.control(app::Control::OpenButton);
    return open ? open->window() : nullptr;
}

}  // namespace folioknife::testing
