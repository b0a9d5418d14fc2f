#include "splitter/MessageBox.h"

namespace folioknife::splitter {

MessageBoxAnswer showMessageBox(MessageBoxService& boxes, const Text& text, const Text& title,
                                MessageBoxButtons buttons) {
    return boxes.showMessageBox(text, title.empty() ? defaultTitle() : title, buttons);
}

MessageBoxAnswer defaultAnswerOf(MessageBoxButtons buttons) {
    switch (buttons) {
        case MessageBoxButtons::Ok:
            return MessageBoxAnswer::Ok;
        case MessageBoxButtons::OkCancel:
            return MessageBoxAnswer::Ok;
        case MessageBoxButtons::AbortRetryIgnore:
            return MessageBoxAnswer::Abort;
        case MessageBoxButtons::YesNoCancel:
        case MessageBoxButtons::YesNo:
            return MessageBoxAnswer::Yes;
        case MessageBoxButtons::RetryCancel:
            return MessageBoxAnswer::Retry;
        case MessageBoxButtons::YesNoDefaultNo:
            return MessageBoxAnswer::No;
    }
    return MessageBoxAnswer::Ok;
}

MessageBoxAnswer MessageBoxService::showMessage(const Message& message, MessageBoxButtons buttons) {
    return showMessageBox(chineseText(message), defaultTitle(), buttons);
}

MessageBoxAnswer showMessageBox(MessageBoxService& boxes, const Message& message,
                                MessageBoxButtons buttons) {
    return boxes.showMessage(message, buttons);
}

}  // namespace folioknife::splitter
