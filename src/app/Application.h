#pragma once
// Start-up, the window's construction order and the click handlers, written once over the
// MainWindow interface.
#include <string>
#include <vector>

#include "app/MainWindow.h"
#include "shell/ContextMenu.h"
#include "splitter/FileService.h"
#include "splitter/Path.h"
#include "splitter/SourceDocument.h"
#include "update/UpdateCheck.h"

namespace folioknife::app {

using shell::ContextMenuEntry;
using update::UpdateCheck;

struct Platform {
    splitter::PathStyle pathStyle;  // the style of the paths on the command line
    Text presetOutputDirectory;     // "D:\output" on Windows, ~/output on Linux
};

// The platform's path style and output-folder preset.
Platform currentPlatform();

class Application {
public:
    Application(splitter::SourceDocument& document, splitter::FileService& files,
                MainWindow& window, ContextMenuEntry& contextMenu, UpdateCheck& update,
                Platform platform);

    // Opens the file named by the first argument when there is one, builds the window, binds
    // the handlers and runs the loop. Returns the exit code, 0. commandLineRest is the command
    // line after the program path, where the platform has one (commandLineRest()): the path
    // to load when the first argument cannot be opened.
    int startProgram(const std::vector<Text>& arguments, const Text& commandLineRest = Text());
    void openFromCommandLine(const std::vector<Text>& arguments,
                             const Text& commandLineRest = Text());
    void buildMainWindow();
    void completeWindowTitle();
    // Checks ContextMenuCheck when the entry is there; never clears it.
    void probeContextMenuEntry();
    // Binds the eight handlers and the drop of files; the loop is the window's
    // runMessageLoop().
    void bindEventHandlers();

    void onOpenClicked();
    void onSplitClicked();
    void onBrowseClicked();
    void onAssistMenuClicked();
    void onDefaultModeClicked();
    void onCustomModeClicked();
    void onContextMenuCheckClicked();
    void onMainWindowDestroyed();

    // A drop is taken when it is one file named *.txt and no novel is loaded: a novel in the
    // window is never replaced by a file let go over it by mistake. Other drops are ignored.
    bool takesDroppedFiles(const std::vector<Text>& paths) const;
    // Loads the dropped file as a file chosen with 打开.
    void onFilesDropped(const std::vector<Text>& paths);

private:
    // 打开's work once the path is known: load with the busy cursor, then report.
    void openNovel(const Text& path);

    splitter::SourceDocument& document_;
    splitter::FileService& files_;
    MainWindow& window_;
    ContextMenuEntry& contextMenu_;
    UpdateCheck& update_;
    Platform platform_;
    // The path confirmed in the open-file dialog at its last showing; empty when it was never
    // shown or was cancelled. A requested deletion removes this file.
    Text openFileDialogPath_;
    // The novel came from the command line and was not replaced through the open-file dialog.
    bool openedFromCommandLine_ = false;
    // Splits under way: one runs while another's message box is up.
    int splitsRunning_ = 0;
};

// The program on the given window: the process-wide document, the system's files, the
// context-menu entry and the update check of this platform, which prompts through boxes that
// live as long as the process. Runs startProgram and returns its exit code.
int runProgram(MainWindow& window, splitter::MessageBoxService& processBoxes,
               const std::vector<Text>& arguments, const Text& commandLineRest = Text());

}  // namespace folioknife::app
