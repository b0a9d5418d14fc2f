#pragma once
// Where the program reports: a message box in the window, the terminal in the command-line
// splitter. The split, the window's handlers and the update check all report through this.
#include "splitter/CodePage.h"

namespace folioknife::splitter {

// The buttons a box offers. The values are those of the low four bits of MessageBoxA's flags,
// which the Windows window passes on as they are.
enum class MessageBoxButtons : unsigned {
    Ok = 0,
    OkCancel = 1,
    AbortRetryIgnore = 2,
    YesNoCancel = 3,
    YesNo = 4,
    RetryCancel = 5,
};

// The button pressed: its Windows identifier minus one (IDOK 1 gives Ok 0). None when no box
// could be shown or nobody could answer it.
enum class MessageBoxAnswer : int {
    None = -1,
    Ok = 0,
    Cancel = 1,
    Abort = 2,
    Retry = 3,
    Ignore = 4,
    Yes = 5,
    No = 6,
};

class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    virtual MessageBoxAnswer showMessageBox(const Text& text, const Text& title,
                                            MessageBoxButtons buttons) = 0;
};

// The one way every report is made: the title "信息" when none is given, an OK button by
// default.
MessageBoxAnswer showMessageBox(MessageBoxService& boxes, const Text& text,
                                const Text& title = Text(),
                                MessageBoxButtons buttons = MessageBoxButtons::Ok);

}  // namespace folioknife::splitter
