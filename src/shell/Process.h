#pragma once
// Starting other programs and finding our own executable: one implementation per platform.
#include "shell/ShellOutcome.h"
#include "splitter/CodePage.h"

namespace folioknife::shell {

using splitter::Text;

enum class ShowMode { Hidden, Maximized };

// Starts the command line's program, looked up the way the system looks up a program given
// without a path; its first word names it. Done when it was started, else why not. With wait
// set, returns when the program has ended. The show mode is the new program's window state on
// Windows; Linux has no such state to hand over.
ShellOutcome runCommandLine(const Text& commandLine, bool wait, ShowMode show);

// The running executable's full path in the program's code page; empty when the system
// cannot tell.
Text executablePath();

// The folder of the running executable.
Text programDirectory();

}  // namespace folioknife::shell
