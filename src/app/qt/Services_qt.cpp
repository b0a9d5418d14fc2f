// Stand-ins until the Linux context-menu entry and update check exist: the entry is never
// found (its check box starts clear and a click only toggles the mark) and no check is made.
#include "app/qt/Services.h"

namespace folioknife::app::qt {

namespace {

class NoContextMenuEntry : public ContextMenuEntry {
  public:
    void probeContextMenuEntry(MainWindow&) override {}
    void onContextMenuCheckClicked(MainWindow&) override {}
};

class NoUpdateCheck : public UpdateCheck {
  public:
    void startUpdateCheck(splitter::MessageBoxService&) override {}
};

}  // namespace

std::unique_ptr<ContextMenuEntry> makeContextMenuEntry() {
    return std::make_unique<NoContextMenuEntry>();
}

std::unique_ptr<UpdateCheck> makeUpdateCheck() { return std::make_unique<NoUpdateCheck>(); }

}  // namespace folioknife::app::qt
