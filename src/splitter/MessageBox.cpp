#include "splitter/MessageBox.h"

#include "splitter/Messages.h"

namespace folioknife::splitter {

MessageBoxAnswer showMessageBox(MessageBoxService& boxes, const Text& text, const Text& title,
                                MessageBoxButtons buttons) {
    return boxes.showMessageBox(text, title.empty() ? messages::defaultTitle() : title, buttons);
}

}  // namespace folioknife::splitter
