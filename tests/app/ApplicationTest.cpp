#include <gtest/gtest.h>

#include "TestText.h"
#include "app/Application.h"
#include "fakes/FakeFileService.h"
#include "fakes/FakeWindow.h"
#include "folioknife/Version.h"
#include "splitter/Messages.h"

namespace folioknife::app {
namespace {
using splitter::chineseText;
using splitter::MessageId;
using testing::CodePageScope;
using testing::FakeFileService;
using testing::FakeWindow;

struct RecordingContextMenu : ContextMenuEntry {
    FakeWindow* window;
    bool entryPresent() override { return window->log.push_back("probe"), false; }
    shell::ShellOutcome setEntry(bool) override {
        window->log.push_back("context click");
        return shell::ShellOutcome::done();
    }
};
struct RecordingUpdate : UpdateCheck {
    FakeWindow* window;
    void startUpdateCheck() override { window->log.push_back("update check"); }
};

class ApplicationTest : public ::testing::Test {
protected:
    CodePageScope codePage{"UTF-8"};
    FakeFileService fs;
    FakeWindow window;
    RecordingContextMenu contextMenu;
    RecordingUpdate update;
    splitter::SourceDocument document;
    static Platform platform() { return Platform{splitter::PathStyle::Posix, "/home/u/output"}; }
    Application app{document, fs, window, contextMenu, update, platform()};
    const std::string novel = "preface\n第1章 a\n第2章 b\n第3章 c\n";

    void SetUp() override {
        contextMenu.window = &window;
        update.window = &window;
        fs.files["/books/novel.txt"] = novel;
    }
    void TearDown() override {
        // Whatever a test did, the busy state came and went in pairs and is over.
        EXPECT_FALSE(window.busy);
        EXPECT_EQ(window.unpairedBusy, 0);
    }
    std::vector<std::string> logAfter(const std::string& entry) {
        for (std::size_t i = 0; i < window.log.size(); ++i)
            if (window.log[i] == entry)
                return std::vector<std::string>(window.log.begin() + i + 1, window.log.end());
        return {};
    }

    // A window and a document of their own over the same files: one case of a table each.
    struct FreshStart {
        FakeWindow window;
        splitter::SourceDocument document;
        Application app;
        explicit FreshStart(ApplicationTest& t)
            : app{document, t.fs, window, t.contextMenu, t.update, platform()} {}
    };
};

TEST_F(ApplicationTest, APlainStartBuildsTheWindowInOrderAndRunsTheLoop) {
    EXPECT_EQ(app.startProgram({}), 0);
    EXPECT_EQ(window.log,
              (std::vector<std::string>{
                  "create", "setTitle Tarvelle V" FOLIOKNIFE_VERSION, "probe", "update check",
                  "bind OpenButton", "bind SplitButton", "bind BrowseButton",
                  "bind AssistMenuButton", "bind DefaultModeRadio", "bind CustomModeRadio",
                  "bind ContextMenuCheck", "bind destroyed", "bind drop", "loop"}));
    EXPECT_EQ(window.controls[Control::OutputDirEdit].text, "/home/u/output");
    EXPECT_TRUE(window.controls[Control::OpenButton].enabled);
    EXPECT_EQ(window.controls[Control::OpenButton].text, "打开");
    EXPECT_EQ(window.dialogSetUpAfter, kControlsBeforeOpenFileDialog);
    EXPECT_EQ(window.dialog.title, "打开文件");
    EXPECT_EQ(window.dialog.filters, (std::vector<FileFilter>{{"文本文件(*.txt)", "*.txt"}}));
}

TEST_F(ApplicationTest, ControlsTakeIdentifiers501To522InCreationOrder) {
    const auto table = controlTable("x");
    ASSERT_EQ(table.size(), static_cast<std::size_t>(kControlCount));
    // The counter is the window's: a window made again counts from 501 again.
    for (int round = 0; round < 2; ++round) {
        app.buildMainWindow();
        for (int i = 0; i < kControlCount; ++i) {
            EXPECT_EQ(window.controls[table[i].control].id, 501 + i)
                << controlName(table[i].control) << " round " << round;
            EXPECT_EQ(static_cast<int>(table[i].control), i);
        }
        EXPECT_EQ(window.controls[Control::AssistMenuButton].id, 522);
    }
    EXPECT_TRUE(window.controls[Control::DefaultModeRadio].checked);
    EXPECT_FALSE(window.controls[Control::ExpressionEdit].enabled);
}

TEST_F(ApplicationTest, TheCommandLineRouteLoadsFirstAndPresetsTheFolder) {
    app.startProgram({"/books/novel.txt", "/other.txt"});
    EXPECT_EQ(document.text(), novel);
    EXPECT_EQ(fs.log.front(), "open /books/novel.txt");
    EXPECT_EQ(
        logAfter("update check"),
        (std::vector<std::string>{"disable OpenButton", "setText OpenButton 文件已打开",
                                  "setText OutputDirEdit /books/", "bind OpenButton",
                                  "bind SplitButton", "bind BrowseButton", "bind AssistMenuButton",
                                  "bind DefaultModeRadio", "bind CustomModeRadio",
                                  "bind ContextMenuCheck", "bind destroyed", "bind drop", "loop"}));
    EXPECT_TRUE(window.boxes.empty());
}

// Explorer hands a path with blanks over unquoted, as several items: the first is no file, so
// the rest of the command line is the path.
TEST_F(ApplicationTest, AnUnquotedPathWithBlanksIsTakenWhole) {
    fs.files["/My Books/a  b.txt"] = novel;
    struct Case {
        std::vector<Text> items;
        Text rest;
        Text loaded, folder;
    } cases[] = {
        {{"/My", "Books/a", "b.txt"}, "/My Books/a  b.txt", novel, "/My Books/"},
        {{"/books/novel.txt", "x"}, "/books/novel.txt x", novel, "/books/"},  // the first is one
        {{"/My", "Gone.txt"}, "/My Gone.txt", "", "/"},                       // neither: as before
        {{"/My", "Books/a", "b.txt"}, "", "", "/"},  // no command line to fall back on
    };
    for (const auto& c : cases) {
        FreshStart fresh(*this);
        fresh.app.startProgram(c.items, c.rest);
        EXPECT_EQ(fresh.document.text(), c.loaded) << c.rest;
        EXPECT_EQ(fresh.window.controls[Control::OutputDirEdit].text, c.folder) << c.rest;
        EXPECT_TRUE(fresh.window.boxes.empty());
    }
}

TEST_F(ApplicationTest, AFileThatCannotBeLoadedFromTheCommandLineIsReportedOnlyBySplit) {
    document.replace("old text");
    app.startProgram({"missing.txt"});
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_EQ(window.controls[Control::OutputDirEdit].text, "");
    window.click(Control::SplitButton);
    EXPECT_EQ(window.boxTexts(), std::vector<Text>{chineseText(MessageId::NoDocument)});
}

// A folder, a FIFO or a device is no novel: said on the command-line route, where the window
// then opens as without one, and by Open.
TEST_F(ApplicationTest, WhatIsNoRegularFileIsSaidOnEitherRoute) {
    fs.directories.insert("/books/folder.txt");
    app.startProgram({"/books/folder.txt"});
    EXPECT_EQ(window.boxTexts(),
              std::vector<Text>{chineseText({MessageId::NotRegularFile, {"/books/folder.txt"}})});
    EXPECT_TRUE(window.controls[Control::OpenButton].enabled);
    EXPECT_NE(window.controls[Control::OutputDirEdit].text, "/books/");
    window.openDialogAnswers = {std::string("/books/folder.txt")};
    window.click(Control::OpenButton);
    EXPECT_EQ(window.boxTexts().back(),
              chineseText({MessageId::NotRegularFile, {"/books/folder.txt"}}));
}

TEST_F(ApplicationTest, OpenReportsTheLoadAndCancelChangesNothing) {
    app.startProgram({});
    document.replace("kept");
    window.openDialogAnswers = {std::nullopt, std::string("/books/novel.txt"),
                                std::string("/gone.txt")};
    window.click(Control::OpenButton);
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_EQ(document.text(), "kept");
    window.click(Control::OpenButton);
    EXPECT_EQ(document.text(), novel);
    window.click(Control::OpenButton);
    EXPECT_EQ(document.text(), "");
    EXPECT_EQ(
        window.boxTexts(),
        (std::vector<Text>{chineseText(MessageId::OpenSucceeded),
                           chineseText({MessageId::OpenFailed, {"/gone.txt"}, "cannot open"})}));
    EXPECT_EQ(window.boxes[0].title, "信息");
    EXPECT_EQ(window.boxes[0].buttons, MessageBoxButtons::Ok);
}

// The load runs with the busy cursor; its report comes after, with the ordinary one.
TEST_F(ApplicationTest, OpenAndSplitAreBusyOnlyUntilTheirBoxes) {
    app.startProgram({});
    window.openDialogAnswers = {std::string("/books/novel.txt")};
    window.log.clear();
    window.click(Control::OpenButton);
    EXPECT_EQ(window.log,
              (std::vector<std::string>{"openDialog", "busy", "idle",
                                        "box " + chineseText(MessageId::OpenSucceeded)}));
    struct Case {
        Text outputDirectory;
        std::vector<std::string> log;
    } cases[] = {
        {"/out", {"busy", "idle", "box " + chineseText(MessageId::SplitDone), "busy", "idle"}},
        // A check that fails shows its box with the ordinary cursor too.
        {"", {"busy", "idle", "box " + chineseText(MessageId::NoOutputDirectory), "busy", "idle"}},
    };
    for (const auto& c : cases) {
        window.controls[Control::OutputDirEdit].text = c.outputDirectory;
        window.log.clear();
        window.click(Control::SplitButton);
        EXPECT_EQ(window.log, c.log) << c.outputDirectory;
    }
}

// Dropped files load as 打开 loads them, into an empty window only; every other drop is
// ignored without a word.
TEST_F(ApplicationTest, ADroppedTxtFileLoadsAsOpenDoesWhileNoNovelIsLoaded) {
    fs.files["/books/B.TXT"] = "第1章 upper";
    struct Case {
        const char* what;
        Text loadedBefore;
        std::vector<Text> dropped;
        bool taken;
        Text text;  // the document afterwards
        std::vector<Text> boxes;
    } cases[] = {
        {"one novel",
         "",
         {"/books/novel.txt"},
         true,
         novel,
         {chineseText(MessageId::OpenSucceeded)}},
        {"upper case",
         "",
         {"/books/B.TXT"},
         true,
         "第1章 upper",
         {chineseText(MessageId::OpenSucceeded)}},
        {"cannot be read",
         "",
         {"/gone.txt"},
         true,
         "",
         {chineseText({MessageId::OpenFailed, {"/gone.txt"}, "cannot open"})}},
        {"a novel is loaded", "kept", {"/books/novel.txt"}, false, "kept", {}},
        {"not a .txt", "", {"/books/novel.epub"}, false, "", {}},
        {"no extension", "", {"/books/txt"}, false, "", {}},
        {"two files", "", {"/books/novel.txt", "/books/B.TXT"}, false, "", {}},
        {"nothing", "", {}, false, "", {}},
    };
    for (const auto& c : cases) {
        FreshStart fresh(*this);
        fresh.app.startProgram({});
        fresh.document.replace(c.loadedBefore);
        EXPECT_EQ(fresh.window.dragOver(c.dropped), c.taken) << c.what;
        fresh.window.log.clear();
        fresh.window.drop(c.dropped);
        EXPECT_EQ(fresh.document.text(), c.text) << c.what;
        EXPECT_EQ(fresh.window.boxTexts(), c.boxes) << c.what;
        if (c.taken) {
            EXPECT_EQ(fresh.window.log,
                      (std::vector<std::string>{"busy", "idle", "box " + c.boxes[0]}))
                << c.what;
        }
        EXPECT_EQ(fresh.window.unpairedBusy, 0) << c.what;
    }
}

// Once loaded by a drop, the novel is the one a split may delete, as if chosen with 打开.
TEST_F(ApplicationTest, ADroppedNovelIsTheOneTheSplitDeletes) {
    app.startProgram({});
    EXPECT_TRUE(window.dragOver({"/books/novel.txt"}));
    window.drop({"/books/novel.txt"});
    EXPECT_FALSE(window.dragOver({"/books/novel.txt"}));  // loaded now
    window.controls[Control::OutputDirEdit].text = "/out";
    window.controls[Control::DeleteSourceCheck].checked = true;
    window.click(Control::SplitButton);
    EXPECT_EQ(fs.files.at("/out/novel_1.txt"), novel);
    EXPECT_EQ(fs.files.count("/books/novel.txt"), 0u);
}

TEST_F(ApplicationTest, ModeRadiosSwitchWhichEditsAreEnabledAndKeepTheirTexts) {
    app.startProgram({});
    window.controls[Control::ExpressionEdit].text = "^Chapter";
    window.log.clear();
    window.click(Control::CustomModeRadio);
    window.click(Control::CustomModeRadio);  // the selected one again: the same states again
    window.click(Control::DefaultModeRadio);
    EXPECT_EQ(window.log, (std::vector<std::string>{
                              "disable PrefixEdit", "disable SuffixEdit", "enable ExpressionEdit",
                              "disable PrefixEdit", "disable SuffixEdit", "enable ExpressionEdit",
                              "enable PrefixEdit", "enable SuffixEdit", "disable ExpressionEdit"}));
    EXPECT_EQ(window.controls[Control::ExpressionEdit].text, "^Chapter");
    EXPECT_EQ(window.controls[Control::PrefixEdit].text, "第");
}

TEST_F(ApplicationTest, BrowsePutsTheChoiceIntoTheOutputFieldAndCancelEmptiesIt) {
    app.startProgram({});
    window.folderAnswers = {"/media/books", ""};
    window.click(Control::BrowseButton);
    EXPECT_EQ(window.controls[Control::OutputDirEdit].text, "/media/books");
    EXPECT_EQ(window.log.back(), "setText OutputDirEdit /media/books");
    window.click(Control::BrowseButton);
    EXPECT_EQ(window.controls[Control::OutputDirEdit].text, "");
    EXPECT_EQ(window.log[window.log.size() - 2], "browse 选择输出文本目录");
}

TEST_F(ApplicationTest, AssistMenuShowsItsNoticeAndDestroyQuitsWithZero) {
    app.startProgram({});
    window.click(Control::AssistMenuButton);
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, "开发中功能，敬请期待");
    EXPECT_EQ(window.boxes[0].title, "表达式辅助生成菜单");
    window.destroyed();
    EXPECT_EQ(window.quitCode, 0);
    window.click(Control::ContextMenuCheck);
    EXPECT_EQ(window.log.back(), "context click");
}

TEST_F(ApplicationTest, SplitReadsTheControlsAfreshAndDeletesOnlyTheDialogsFile) {
    app.startProgram({});
    window.openDialogAnswers = {std::string("/books/novel.txt")};
    window.click(Control::OpenButton);
    window.controls[Control::OutputDirEdit].text = "/out";
    window.controls[Control::ChaptersPerFileEdit].text = "1";
    window.click(Control::SplitButton);
    EXPECT_EQ(fs.files.at("/out/novel_4.txt"), "第3章 c\n");
    window.controls[Control::ChaptersPerFileEdit].text = "2";
    window.controls[Control::DeleteSourceCheck].checked = true;
    window.click(Control::SplitButton);  // a second split of the same document, fresh settings
    EXPECT_EQ(fs.files.at("/out/novel_2.txt"), "第2章 b\n第3章 c\n");
    EXPECT_EQ(fs.files.count("/books/novel.txt"), 0u);
    EXPECT_EQ(window.boxTexts(), (std::vector<Text>{chineseText(MessageId::OpenSucceeded),
                                                    chineseText(MessageId::SplitDone),
                                                    chineseText(MessageId::SplitDone)}));
}

TEST_F(ApplicationTest, ADocumentFromTheCommandLineIsNeverDeleted) {
    app.startProgram({"/books/novel.txt"});
    window.controls[Control::DeleteSourceCheck].checked = true;
    window.click(Control::SplitButton);
    EXPECT_EQ(fs.files.count("/books/novel.txt"), 1u);
    EXPECT_EQ(fs.files.count("/books//novel_1.txt"), 1u);  // the derived folder keeps its "/"
    // The note after the success says why the novel was kept.
    EXPECT_EQ(window.boxTexts(), (std::vector<Text>{chineseText(MessageId::SplitDone),
                                                    chineseText(MessageId::NotChosenWithOpen)}));
}

TEST_F(ApplicationTest, AClickWhileAMessageBoxIsUpRunsNested) {
    app.startProgram({});
    window.openDialogAnswers = {std::string("/books/novel.txt")};
    window.controls[Control::OutputDirEdit].text = "/out";
    window.whileBoxShown = [&](const FakeWindow::Box&) { window.click(Control::SplitButton); };
    window.click(Control::OpenButton);
    EXPECT_EQ(window.boxTexts(), (std::vector<Text>{chineseText(MessageId::OpenSucceeded),
                                                    chineseText(MessageId::SplitDone)}));
    EXPECT_EQ(fs.files.at("/out/novel_1.txt"), novel);
}

TEST_F(ApplicationTest, AnOpenNestedInTheSuccessBoxDoesNotDisturbTheFinishingSplit) {
    fs.files["/books/other.txt"] = "another novel";
    app.startProgram({});
    window.openDialogAnswers = {std::string("/books/novel.txt"), std::string("/books/other.txt")};
    window.click(Control::OpenButton);
    window.controls[Control::OutputDirEdit].text = "/out";
    window.controls[Control::DeleteSourceCheck].checked = true;
    window.whileBoxShown = [&](const FakeWindow::Box& box) {
        if (box.text == chineseText(MessageId::SplitDone)) window.click(Control::OpenButton);
    };
    window.click(Control::SplitButton);
    // The split deletes the novel it wrote out, not the file opened meanwhile.
    EXPECT_EQ(fs.files.count("/books/novel.txt"), 0u);
    EXPECT_EQ(fs.files.count("/books/other.txt"), 1u);
    EXPECT_EQ(document.text(), "another novel");
    EXPECT_EQ(fs.files.at("/out/novel_1.txt"), novel);
}

// With the delete box checked: a split started from the first one's success box leaves the
// source to the first, which deletes it without a false message.
TEST_F(ApplicationTest, TheSourceIsDeletedOnceWhenASplitRunsInsideTheFirstOnesBox) {
    app.startProgram({});
    window.openDialogAnswers = {std::string("/books/novel.txt")};
    window.click(Control::OpenButton);
    window.controls[Control::OutputDirEdit].text = "/out";
    window.controls[Control::DeleteSourceCheck].checked = true;
    bool nested = false;
    window.whileBoxShown = [&](const FakeWindow::Box& box) {
        if (box.text == chineseText(MessageId::SplitDone) && !nested) {
            nested = true;
            window.click(Control::SplitButton);
        }
    };
    window.click(Control::SplitButton);
    EXPECT_EQ(fs.files.count("/books/novel.txt"), 0u);
    EXPECT_EQ(window.boxTexts(), (std::vector<Text>{chineseText(MessageId::OpenSucceeded),
                                                    chineseText(MessageId::SplitDone),
                                                    chineseText(MessageId::SplitDone)}));
}

}  // namespace
}  // namespace folioknife::app
