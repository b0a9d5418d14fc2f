#pragma once
// Where the program reports: a message box in the window, the terminal in the command-line
// splitter. The split, the window's handlers and the update check all report through this.
#include "splitter/CodePage.h"
#include "splitter/Messages.h"

namespace folioknife::splitter {

// The button pressed: its Windows identifier minus one, so Ok is 0 (IDOK 1) and No is 6 (IDNO
// 7). None when no box could be shown or nobody could answer it.
enum class MessageBoxAnswer : int { None = -1, Ok, Cancel, Abort, Retry, Ignore, Yes, No };

// The buttons a box offers: OK; OK, Cancel; Abort, Retry, Ignore; Yes, No, Cancel; Yes, No;
// Retry, Cancel. The values, 0 to 5, are those of the low four bits of MessageBoxA's flags,
// which the Windows window passes on as they are. The first button is the default one, which
// Enter presses, except in YesNoDefaultNo: Yes, No with No the default (MB_DEFBUTTON2, 0x100),
// for a question whose Yes destroys something.
enum class MessageBoxButtons : unsigned {
    Ok,
    OkCancel,
    AbortRetryIgnore,
    YesNoCancel,
    YesNo,
    RetryCancel,
    YesNoDefaultNo = 0x104,
};

// The answer of the button that Enter presses.
MessageBoxAnswer defaultAnswerOf(MessageBoxButtons buttons);

class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    virtual MessageBoxAnswer showMessageBox(const Text& text, const Text& title,
                                            MessageBoxButtons buttons) = 0;
    // One of the splitter's messages, under the title "信息": in its Chinese text, unless the
    // service says it in words of its own.
    virtual MessageBoxAnswer showMessage(const Message& message, MessageBoxButtons buttons);
};

// The one way every report is made: the title "信息" when none is given, an OK button by
// default.
MessageBoxAnswer showMessageBox(MessageBoxService& boxes, const Text& text,
                                const Text& title = Text(),
                                MessageBoxButtons buttons = MessageBoxButtons::Ok);
MessageBoxAnswer showMessageBox(MessageBoxService& boxes, const Message& message,
                                MessageBoxButtons buttons = MessageBoxButtons::Ok);

}  // namespace folioknife::splitter
