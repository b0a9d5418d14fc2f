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

    // The window lives as long as the process: the update thread may still show its prompt
    // through it while the process ends, and is never waited for.
    auto* window = new app::win32::Win32MainWindow(moduleHandle);
    auto contextMenu = shell::makeContextMenuEntry();
    auto update = update::makeUpdateCheck();
    app::Application application(splitter::theSourceDocument(), splitter::systemFileService(),
                                 *window, *contextMenu, *update, app::currentPlatform());
    return application.startProgram(arguments);
}
