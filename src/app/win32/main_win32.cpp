// folioknife on Windows: the window program.
#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/win32/Win32MainWindow.h"
#include "splitter/win32/WideText.h"

// The show state handed to the program is not used: the window is shown with SW_SHOW.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace folioknife;
    HINSTANCE moduleHandle = GetModuleHandleW(nullptr);
    // The raw command line, not the C runtime's argv: its quoting rules are not ours. It comes
    // as UTF-16, whatever the system's code page, and is taken apart in the program's: a path
    // with a character that code page cannot write gets '?' for it and fails to open, saying so.
    const app::Text commandLine = splitter::fromWideForDisplay(GetCommandLineW());
    const std::vector<app::Text> arguments = app::splitCommandLine(commandLine);
    const app::Text rest = app::commandLineRest(commandLine);

    app::win32::Win32MainWindow window(moduleHandle);
    // MessageBoxW may be called from any thread at any time, so the update thread's prompt may
    // still show while the process ends, and vanishes with it.
    return app::runProgram(window, app::win32::processMessageBoxes(), arguments, rest);
}
