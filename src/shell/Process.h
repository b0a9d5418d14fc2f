#pragma once
// Starting other programs and finding our own executable: one implementation per platform.
#include <optional>

#include "splitter/CodePage.h"

namespace folioknife::shell {

using splitter::Text;

enum class ShowMode { Hidden, Maximized };

// Starts the command line's program, looked up the way the system looks up a program given
// without a path; its first word names it. Returns whether it was started. With wait set,
// returns when the program has ended. The show mode is the new program's window state on
// Windows; Linux has no such state to hand over.
bool runCommandLine(const Text& commandLine, bool wait, ShowMode show);

// Runs the command line as runCommandLine does, hidden, and waits for its end. Nothing when the
// program started and ended with status 0; otherwise why, in the program's code page.
std::optional<Text> runToEnd(const Text& commandLine);

// The running executable's full path in the program's code page; empty when the system
// cannot tell.
Text executablePath();

// The folder of the running executable.
Text programDirectory();

}  // namespace folioknife::shell
