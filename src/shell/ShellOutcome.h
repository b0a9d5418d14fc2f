#pragma once
// What a change the shell layer makes to the system came to: done, or why not, in the system's
// words in the program's code page.
#include <utility>

#include "splitter/CodePage.h"

namespace folioknife::shell {

using splitter::Text;

class [[nodiscard]] ShellOutcome {
public:
    static ShellOutcome done() { return ShellOutcome(); }
    static ShellOutcome failed(Text reason) {
        ShellOutcome outcome;
        outcome.failed_ = true;
        outcome.reason_ = std::move(reason);
        return outcome;
    }
    bool ok() const { return !failed_; }
    // Why it failed; empty when it did not.
    const Text& reason() const { return reason_; }

private:
    bool failed_ = false;
    Text reason_;
};

}  // namespace folioknife::shell
