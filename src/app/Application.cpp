#include "app/Application.h"

#include "app/CommandLine.h"
#include "splitter/Ascii.h"
#include "splitter/Messages.h"
#include "splitter/SplitFlow.h"

namespace folioknife::app {

using splitter::programText;

namespace {

// The split's settings, read from the controls at the moment the split needs each of them.
class WindowSplitSettings : public splitter::SplitSettings {
public:
    WindowSplitSettings(MainWindow& window, const Text& sourcePath, bool fromCommandLine,
                        bool nested)
        : window_(window),
          sourcePath_(sourcePath),
          fromCommandLine_(fromCommandLine),
          nested_(nested) {}
    bool customMode() override { return window_.isChecked(Control::CustomModeRadio); }
    Text expressionText() override { return window_.text(Control::ExpressionEdit); }
    Text prefix() override { return window_.text(Control::PrefixEdit); }
    Text suffix() override { return window_.text(Control::SuffixEdit); }
    Text chaptersPerFileText() override { return window_.text(Control::ChaptersPerFileEdit); }
    Text outputDirectory() override { return window_.text(Control::OutputDirEdit); }
    // A split started while another one's message box is up leaves the source to that one,
    // which checks and deletes it when its box is closed.
    bool deleteSource() override {
        return !nested_ && window_.isChecked(Control::DeleteSourceCheck);
    }
    Text sourcePath() override { return sourcePath_; }
    bool sourceFromCommandLine() override { return fromCommandLine_; }

private:
    MainWindow& window_;
    const Text& sourcePath_;
    bool fromCommandLine_;
    bool nested_;
};

// The busy state for as long as it stands.
class BusyScope {
public:
    explicit BusyScope(MainWindow& window) : window_(window) { window_.setBusy(true); }
    ~BusyScope() { window_.setBusy(false); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    MainWindow& window_;
};

// The split's boxes, shown with the busy state lifted: a box waits for the user, who must see
// that the window is theirs again. The work that follows a box is busy again.
class BusyWork : public splitter::MessageBoxService {
public:
    explicit BusyWork(MainWindow& window) : window_(window) { window_.setBusy(true); }
    ~BusyWork() override {
        if (busy_) window_.setBusy(false);
    }
    BusyWork(const BusyWork&) = delete;
    BusyWork& operator=(const BusyWork&) = delete;
    MessageBoxAnswer showMessageBox(const Text& text, const Text& title,
                                    MessageBoxButtons buttons) override {
        if (busy_) window_.setBusy(false);
        busy_ = false;
        const MessageBoxAnswer answer = window_.showMessageBox(text, title, buttons);
        window_.setBusy(true);
        busy_ = true;
        return answer;
    }

private:
    MainWindow& window_;
    bool busy_ = true;
};

}  // namespace

Application::Application(splitter::SourceDocument& document, splitter::FileService& files,
                         MainWindow& window, ContextMenuEntry& contextMenu, UpdateCheck& update,
                         Platform platform)
    : document_(document),
      files_(files),
      window_(window),
      contextMenu_(contextMenu),
      update_(update),
      platform_(std::move(platform)) {}

int Application::startProgram(const std::vector<Text>& arguments, const Text& commandLineRest) {
    if (!arguments.empty()) {
        openFromCommandLine(arguments, commandLineRest);
    } else {
        buildMainWindow();
        bindEventHandlers();
    }
    // The quit code is 0, but the program's exit code is 0 whatever ended the loop.
    window_.runMessageLoop();
    return 0;
}

void Application::openFromCommandLine(const std::vector<Text>& arguments,
                                      const Text& commandLineRest) {
    // Loaded before the window exists; a file that cannot be loaded is not reported here: the
    // split will say that no file is set.
    Text path = arguments.front();
    openedFromCommandLine_ = true;
    // The registered command leaves "%1" unquoted, so Explorer hands "D:\My Books\a.txt" over
    // as the items "D:\My" and "Books\a.txt". When the first item is no file, the whole rest
    // of the command line is the path meant.
    if (!splitter::loadSourceDocument(document_, files_, path) && !commandLineRest.empty() &&
        commandLineRest != path &&
        splitter::loadSourceDocument(document_, files_, commandLineRest)) {
        path = commandLineRest;
    }
    buildMainWindow();
    // A folder, a FIFO or a device is no novel: the window opens as without one, and says why.
    const splitter::FileKind kind = files_.kindOf(path);
    if (kind == splitter::FileKind::Directory || kind == splitter::FileKind::Other) {
        openedFromCommandLine_ = false;
        bindEventHandlers();
        splitter::showMessageBox(window_,
                                 splitter::Message(splitter::MessageId::NotRegularFile, {path}));
        return;
    }
    window_.setEnabled(Control::OpenButton, false);
    window_.setText(Control::OpenButton, programText("文件已打开"));
    window_.setText(Control::OutputDirEdit, deriveOutputDirectory(path, platform_.pathStyle));
    bindEventHandlers();
}

void Application::buildMainWindow() {
    window_.create(controlTable(platform_.presetOutputDirectory),
                   OpenFileDialogSetup{openFileDialogTitle(), openFileDialogFilter()});
    completeWindowTitle();
    probeContextMenuEntry();
    update_.startUpdateCheck();
}

void Application::probeContextMenuEntry() {
    // Setting the mark does not run the click handler.
    if (contextMenu_.entryPresent()) window_.setChecked(Control::ContextMenuCheck, true);
}

void Application::completeWindowTitle() { window_.setTitle(window_.title() + programVersion()); }

void Application::bindEventHandlers() {
    window_.bindClick(Control::OpenButton, [this] { onOpenClicked(); });
    window_.bindClick(Control::SplitButton, [this] { onSplitClicked(); });
    window_.bindClick(Control::BrowseButton, [this] { onBrowseClicked(); });
    window_.bindClick(Control::AssistMenuButton, [this] { onAssistMenuClicked(); });
    window_.bindClick(Control::DefaultModeRadio, [this] { onDefaultModeClicked(); });
    window_.bindClick(Control::CustomModeRadio, [this] { onCustomModeClicked(); });
    window_.bindClick(Control::ContextMenuCheck, [this] { onContextMenuCheckClicked(); });
    window_.bindDestroyed([this] { onMainWindowDestroyed(); });
    window_.bindFileDrop(
        [this](const std::vector<Text>& paths) { return takesDroppedFiles(paths); },
        [this](const std::vector<Text>& paths) { onFilesDropped(paths); });
}

void Application::onOpenClicked() {
    std::optional<Text> path = window_.showOpenFileDialog();
    if (!path) {
        openFileDialogPath_.clear();  // a cancelled dialog holds no path
        return;
    }
    openNovel(*path);
}

void Application::openNovel(const Text& path) {
    openFileDialogPath_ = path;
    openedFromCommandLine_ = false;
    splitter::Message said(splitter::MessageId::OpenSucceeded);
    {
        BusyScope busy(window_);
        const splitter::FileStatus status = splitter::loadSourceDocument(document_, files_, path);
        const splitter::FileKind kind = status ? splitter::FileKind::Regular : files_.kindOf(path);
        // The path, then the system's reason on a line of its own.
        if (kind == splitter::FileKind::Directory || kind == splitter::FileKind::Other)
            said = {splitter::MessageId::NotRegularFile, {path}};
        else if (!status)
            said = {splitter::MessageId::OpenFailed, {path}, status.error().reason};
    }
    splitter::showMessageBox(window_, said);
}

bool Application::takesDroppedFiles(const std::vector<Text>& paths) const {
    // An empty document is no novel: nothing was loaded, the last load failed, or the file was
    // empty; the split would refuse it all the same.
    return paths.size() == 1 && splitter::hasExtension(paths.front(), ".txt") &&
           document_.text().empty();
}

void Application::onFilesDropped(const std::vector<Text>& paths) {
    if (takesDroppedFiles(paths)) openNovel(paths.front());
}

void Application::onSplitClicked() {
    // A copy: a nested Open (from a click while a message box is up) may change the path.
    const Text sourcePath = openFileDialogPath_;
    WindowSplitSettings settings(window_, sourcePath, openedFromCommandLine_, splitsRunning_ > 0);
    BusyWork work(window_);
    ++splitsRunning_;
    // The window has shown every message of the split in its boxes as the split went.
    static_cast<void>(splitter::runSplit(document_, settings, files_, work, platform_.pathStyle));
    --splitsRunning_;
}

void Application::onBrowseClicked() {
    // Cancelling the browser empties the field: the result goes in whatever it is.
    window_.setText(Control::OutputDirEdit, window_.browseForFolder(folderBrowserTitle()));
}

void Application::onAssistMenuClicked() {
    splitter::showMessageBox(window_, programText("开发中功能，敬请期待"),
                             programText("表达式辅助生成菜单"));
}

void Application::onDefaultModeClicked() {
    window_.setEnabled(Control::PrefixEdit, true);
    window_.setEnabled(Control::SuffixEdit, true);
    window_.setEnabled(Control::ExpressionEdit, false);
}

void Application::onCustomModeClicked() {
    window_.setEnabled(Control::PrefixEdit, false);
    window_.setEnabled(Control::SuffixEdit, false);
    window_.setEnabled(Control::ExpressionEdit, true);
}

void Application::onContextMenuCheckClicked() {
    // The warning first, on every click, whatever the mark. Linux needs no administrator; its
    // user is told where the entry will appear instead.
    splitter::showMessageBox(window_, platform_.pathStyle == splitter::PathStyle::Windows
                                          ? shell::warningText()
                                          : shell::openWithNote());
    // The box has no owner, so further clicks may have run while it was up: only the mark as it
    // stands now counts. An entry that could not be changed puts the mark back as it was, so
    // that it shows what the system has.
    const bool wanted = window_.isChecked(Control::ContextMenuCheck);
    if (const shell::ShellOutcome changed = contextMenu_.setEntry(wanted); !changed.ok()) {
        window_.setChecked(Control::ContextMenuCheck, !wanted);
        splitter::showMessageBox(
            window_,
            programText(wanted ? "无法添加右键菜单：" : "无法删除右键菜单：") + changed.reason());
    }
}

void Application::onMainWindowDestroyed() { window_.postQuit(0); }

int runProgram(MainWindow& window, splitter::MessageBoxService& processBoxes,
               const std::vector<Text>& arguments, const Text& commandLineRest) {
    auto contextMenu = shell::makeContextMenuEntry();
    // The update thread is never waited for: it prompts through the process's boxes, not
    // through the window, which goes before the process ends.
    auto update = update::makeUpdateCheck(processBoxes);
    Application application(splitter::theSourceDocument(), splitter::systemFileService(), window,
                            *contextMenu, *update, currentPlatform());
    return application.startProgram(arguments, commandLineRest);
}

}  // namespace folioknife::app
