// folioknife on Windows: the window program.
#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/win32/Win32MainWindow.h"
#include "shell/ContextMenu.h"
#include "splitter/FileService.h"
#include "splitter/SourceDocument.h"
#include "update/UpdateCheck.h"

// The show state handed to the program is not used: the window is shown with SW_SHOW.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace folioknife;
    HINSTANCE moduleHandle = GetModuleHandleA(nullptr);
    app::controlIdCounter = 500;
    // The raw command line, not the C runtime's argv: its quoting rules are not ours, and the
    // path must be the ANSI bytes as given.
    const std::vector<app::Text> arguments = app::splitCommandLine(GetCommandLineA());
    const app::Text rest = app::commandLineRest(GetCommandLineA());

    app::win32::Win32MainWindow window(moduleHandle);
    auto contextMenu = shell::makeContextMenuEntry();
    // The update thread is never waited for and may still show its prompt while the process
    // ends: it asks the process's boxes, which outlive the window.
    auto update = update::makeUpdateCheck(app::win32::processMessageBoxes());
    app::Application application(splitter::theSourceDocument(), splitter::systemFileService(),
                                 window, *contextMenu, *update, app::currentPlatform());
    return application.startProgram(arguments, rest);
}
