#pragma once
// Start-up, the window's construction order and the click handlers, written once over the
// MainWindow interface.
#include <string>
#include <vector>

#include "app/MainWindow.h"
#include "splitter/FileService.h"
#include "splitter/SourceDocument.h"

namespace folioknife::app {

// The context-menu entry "一键分割": whether it exists at start, and what a click on its check
// box does.
class ContextMenuEntry {
public:
    virtual ~ContextMenuEntry() = default;
    virtual void probeContextMenuEntry(MainWindow& window) = 0;
    virtual void onContextMenuCheckClicked(MainWindow& window) = 0;
};

// The background check for a newer version, started once per start.
class UpdateCheck {
public:
    virtual ~UpdateCheck() = default;
    virtual void startUpdateCheck(splitter::MessageBoxService& boxes) = 0;
};

struct Platform {
    std::string separator;          // "\" on Windows, "/" on Linux
    Text presetOutputDirectory;     // "D:\output" on Windows, ~/output on Linux
};

// The platform's separator and output-folder preset.
Platform currentPlatform();

class Application {
public:
    Application(splitter::SourceDocument& document, splitter::FileService& files,
                MainWindow& window, ContextMenuEntry& contextMenu, UpdateCheck& update,
                Platform platform);

    // Opens the file named by the first argument when there is one, builds the window, binds
    // the handlers and runs the loop. Returns the exit code, 0.
    int startProgram(const std::vector<Text>& arguments);
    void openFromCommandLine(const std::vector<Text>& arguments);
    void buildMainWindow();
    void completeWindowTitle();
    void bindEventHandlers();

    void onOpenClicked();
    void onSplitClicked();
    void onBrowseClicked();
    void onAssistMenuClicked();
    void onDefaultModeClicked();
    void onCustomModeClicked();
    void onContextMenuCheckClicked();
    void onMainWindowDestroyed();

    // The path confirmed in the open-file dialog at its last showing; empty when it was never
    // shown or was cancelled. A requested deletion removes this file.
    const Text& openFileDialogPath() const { return openFileDialogPath_; }

private:
    splitter::SourceDocument& document_;
    splitter::FileService& files_;
    MainWindow& window_;
    ContextMenuEntry& contextMenu_;
    UpdateCheck& update_;
    Platform platform_;
    Text openFileDialogPath_;
};

}  // namespace folioknife::app
