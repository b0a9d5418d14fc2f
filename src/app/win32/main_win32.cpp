// folioknife on Windows: the window program.
#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/win32/Win32MainWindow.h"

// The show state handed to the program is not used: the window is shown with SW_SHOW.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace folioknife;
    HINSTANCE moduleHandle = GetModuleHandleA(nullptr);
    // The raw command line, not the C runtime's argv: its quoting rules are not ours, and the
    // path must be the ANSI bytes as given.
    const std::vector<app::Text> arguments = app::splitCommandLine(GetCommandLineA());
    const app::Text rest = app::commandLineRest(GetCommandLineA());

    app::win32::Win32MainWindow window(moduleHandle);
    // MessageBoxA may be called from any thread at any time, so the update thread's prompt may
    // still show while the process ends, and vanishes with it.
    return app::runProgram(window, app::win32::processMessageBoxes(), arguments, rest);
}
