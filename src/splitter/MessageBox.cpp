#include "splitter/MessageBox.h"

namespace folioknife::splitter {

MessageBoxAnswer showMessageBox(MessageBoxService& boxes, const Text& text, const Text& title,
                                MessageBoxButtons buttons) {
    return boxes.showMessageBox(text, title.empty() ? defaultTitle() : title, buttons);
}

MessageBoxAnswer MessageBoxService::showMessage(const Message& message, MessageBoxButtons buttons) {
    return showMessageBox(chineseText(message), defaultTitle(), buttons);
}

MessageBoxAnswer showMessageBox(MessageBoxService& boxes, const Message& message,
                                MessageBoxButtons buttons) {
    return boxes.showMessage(message, buttons);
}

}  // namespace folioknife::splitter
