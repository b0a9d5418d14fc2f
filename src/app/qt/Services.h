#pragma once
// The context-menu entry and the update check of the Linux program, made in one place so that
// main() does not know which implementation it gets.
#include <memory>

#include "app/Application.h"

namespace folioknife::app::qt {

std::unique_ptr<ContextMenuEntry> makeContextMenuEntry();
std::unique_ptr<UpdateCheck> makeUpdateCheck();

}  // namespace folioknife::app::qt
