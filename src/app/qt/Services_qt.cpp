// The Linux program's context-menu entry (a desktop entry for text files) and its update check
// (libcurl on a detached thread).
#include "app/qt/Services.h"
#include "shell/ContextMenu.h"
#include "update/UpdateCheck.h"

namespace folioknife::app::qt {

std::unique_ptr<ContextMenuEntry> makeContextMenuEntry() { return shell::makeContextMenuEntry(); }

std::unique_ptr<UpdateCheck> makeUpdateCheck() { return update::makeUpdateCheck(); }

}  // namespace folioknife::app::qt
