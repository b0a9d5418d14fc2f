// The window's contract, run against each window through its driver (WindowConformance.h).
#include <atomic>
#include <fstream>
#include <iterator>
#include <thread>

#include "WindowConformance.h"
#include "splitter/FileService.h"
#include "splitter/Messages.h"

namespace folioknife::testing {

bool ShownDialog::shows(const app::Text& text) const {
    for (const auto& t : texts)
        if (t == text) return true;
    return false;
}

namespace {
using app::Control;
using app::MessageBoxAnswer;
using app::MessageBoxButtons;
using app::Text;
using splitter::chineseText;
using splitter::MessageId;
using splitter::programText;

void writeFile(const Text& path, const Text& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}
std::optional<Text> readFile(const Text& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return Text(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
// A preface and numbered chapters of a line each, ten to a volume by default.
Text novelOfChapters(int chapters) {
    Text novel = programText("序言\n");
    for (int i = 1; i <= chapters; ++i)
        novel += programText("第") + std::to_string(i) + programText("章 标题\n正文，正文。\n");
    return novel;
}
// The volumes novel_1.txt, novel_2.txt, ... in the folder (given with its separator), up to the
// first missing one, removed once read.
std::vector<Text> takeVolumes(const Text& folder) {
    std::vector<Text> volumes;
    for (int k = 1;; ++k) {
        const Text name = folder + "novel_" + std::to_string(k) + ".txt";
        std::optional<Text> volume = readFile(name);
        if (!volume) return volumes;
        volumes.push_back(std::move(*volume));
        std::remove(name.c_str());
    }
}
Text joined(const std::vector<Text>& volumes) {
    Text all;
    for (const Text& v : volumes) all += v;
    return all;
}
std::vector<Text> boxTexts(WindowDriver& driver) {
    std::vector<Text> texts;
    for (const auto& b : driver.boxes()) texts.push_back(b.text);
    return texts;
}

TEST_P(WindowConformance, EveryControlStandsAsTheTableSays) {
    EXPECT_EQ(window.title(), app::windowTitle() + app::programVersion());
    for (int i = 0; i < int(table.size()); ++i) {
        const app::ControlLayout& entry = table[i];
        SCOPED_TRACE(app::controlName(entry.control));
        EXPECT_EQ(window.controlWithId(501 + i), entry.control);
        EXPECT_EQ(window.text(entry.control), entry.caption);
        EXPECT_EQ(window.isChecked(entry.control), entry.checked);
        EXPECT_EQ(driver->isEnabled(entry.control), entry.enabled);
        const auto r = driver->geometry(entry.control);
        EXPECT_EQ(std::vector<int>({r.x, r.y, r.width, r.height}),
                  std::vector<int>({entry.x, entry.y, entry.width, entry.height}));
    }
    EXPECT_FALSE(window.controlWithId(523));
}

// Texts go into the controls and come back as the same bytes of the code page.
TEST_P(WindowConformance, TextsGoThroughTheControls) {
    struct Case {
        Control control;
        Text set, read;
    } cases[] = {
        {Control::OutputDirEdit, programText("书") + separator() + programText("输出"),
         programText("书") + separator() + programText("输出")},
        {Control::OutputDirEdit, "", ""},
        {Control::ExpressionEdit, programText("第[0-9]+章"), programText("第[0-9]+章")},
        {Control::ChaptersPerFileEdit,
         Text("12\0"
              "34",
              5),
         "12"},  // ends at its NUL
        {Control::OpenButton, programText("文件已打开"), programText("文件已打开")},
        {Control::MiscGroup, "<b>x&", "<b>x&"},
        {Control::PrefixEdit, Text(3000, 'x'), Text(3000, 'x')},
    };
    for (const auto& c : cases) {
        window.setText(c.control, c.set);
        EXPECT_EQ(window.text(c.control), c.read) << app::controlName(c.control);
    }
    window.setTitle(programText("小说分割"));
    EXPECT_EQ(window.title(), programText("小说分割"));
}

TEST_P(WindowConformance, MarksAndEnablingGoThroughTheControls) {
    window.setChecked(Control::DeleteSourceCheck, true);
    EXPECT_TRUE(window.isChecked(Control::DeleteSourceCheck));
    window.setChecked(Control::DeleteSourceCheck, false);
    EXPECT_FALSE(window.isChecked(Control::DeleteSourceCheck));
    window.setEnabled(Control::OpenButton, false);
    EXPECT_FALSE(driver->isEnabled(Control::OpenButton));
    window.setEnabled(Control::ExpressionEdit, true);
    EXPECT_TRUE(driver->isEnabled(Control::ExpressionEdit));
}

// A click runs the bound handler after an automatic radio button or check box has changed its
// mark; the radio buttons clear only each other, and the selected one fires again.
TEST_P(WindowConformance, AClickRunsItsHandlerAfterTheMarkHasChanged) {
    std::vector<std::string> ran;
    for (Control c : {Control::OpenButton, Control::SplitButton, Control::BrowseButton,
                      Control::AssistMenuButton, Control::DefaultModeRadio,
                      Control::CustomModeRadio, Control::ContextMenuCheck}) {
        window.bindClick(c, [&, c] {
            std::string entry = app::controlName(c);
            if (c == Control::CustomModeRadio || c == Control::DefaultModeRadio)
                entry += window.isChecked(Control::CustomModeRadio) ? " custom" : " default";
            if (c == Control::ContextMenuCheck)
                entry += window.isChecked(Control::ContextMenuCheck) ? " on" : " off";
            ran.push_back(entry);
        });
    }
    struct Case {
        Control control;
        std::vector<std::string> ran;
    } cases[] = {
        {Control::SplitButton, {"SplitButton"}},
        {Control::CustomModeRadio, {"CustomModeRadio custom"}},
        {Control::CustomModeRadio, {"CustomModeRadio custom"}},  // again, though selected
        {Control::DefaultModeRadio, {"DefaultModeRadio default"}},
        {Control::ContextMenuCheck, {"ContextMenuCheck on"}},
        {Control::ContextMenuCheck, {"ContextMenuCheck off"}},
        {Control::DeleteSourceCheck, {}},  // no handler: only its mark changes
        {Control::AssistMenuButton, {"AssistMenuButton"}},
    };
    for (const auto& c : cases) {
        ran.clear();
        driver->click(c.control);
        EXPECT_EQ(ran, c.ran) << app::controlName(c.control);
    }
    EXPECT_TRUE(window.isChecked(Control::DeleteSourceCheck));
    EXPECT_TRUE(window.isChecked(Control::DefaultModeRadio));
    EXPECT_FALSE(window.isChecked(Control::CustomModeRadio));
    EXPECT_FALSE(window.isChecked(Control::ContextMenuCheck));
}

TEST_P(WindowConformance, AHandlerMayBindItsOwnSlotAnewWhileItRuns) {
    std::vector<int> ran;
    window.bindClick(Control::SplitButton, [&] {
        ran.push_back(1);
        window.bindClick(Control::SplitButton, [&] { ran.push_back(2); });
    });
    driver->click(Control::SplitButton);
    driver->click(Control::SplitButton);
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
}

// Closing the window runs the destroyed handler once; the quit it posts ends the loop with
// its code.
TEST_P(WindowConformance, ClosingRunsTheDestroyedHandlerWhoseQuitEndsTheLoop) {
    for (int code : {0, 7}) {
        SCOPED_TRACE(code);
        program.buildMainWindow();
        int destroyed = 0;
        window.bindDestroyed([&] {
            ++destroyed;
            window.postQuit(code);
        });
        bool ranInLoop = false;
        driver->whileLooping([&] { ranInLoop = true; });
        EXPECT_EQ(window.runMessageLoop(), code);
        EXPECT_TRUE(ranInLoop);
        EXPECT_EQ(destroyed, 1);
    }
}

// A box shows its text and title, has no owner and answers the button pressed.
TEST_P(WindowConformance, MessageBoxesAreOwnerlessAndAnswerTheButtonPressed) {
    struct Case {
        MessageBoxButtons buttons;
        MessageBoxAnswer press;
    } cases[] = {
        {MessageBoxButtons::Ok, MessageBoxAnswer::Ok},
        {MessageBoxButtons::YesNo, MessageBoxAnswer::Yes},
        {MessageBoxButtons::YesNo, MessageBoxAnswer::No},
        {MessageBoxButtons::OkCancel, MessageBoxAnswer::Cancel},
        {MessageBoxButtons::AbortRetryIgnore, MessageBoxAnswer::Retry},
    };
    const Text text = chineseText(MessageId::SplitDone), title = programText("信息");
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.press));
        driver->expect(Reply::box(c.press));
        EXPECT_EQ(window.showMessageBox(text, title, c.buttons), c.press);
        ASSERT_FALSE(driver->boxes().empty());
        const ShownBox box = driver->boxes().back();
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.title, title);
        EXPECT_TRUE(box.ownerless);
    }
    EXPECT_EQ(driver->boxes().size(), std::size(cases));
}

// Enter presses the default button: the first one, but No where Yes would destroy something
// (the volumes of another novel in the output folder).
TEST_P(WindowConformance, EnterPressesTheDefaultButtonNoWhereYesDestroys) {
    const struct {
        MessageBoxButtons buttons;
        MessageBoxAnswer enter;
    } cases[] = {
        {MessageBoxButtons::Ok, MessageBoxAnswer::Ok},
        {MessageBoxButtons::YesNo, MessageBoxAnswer::Yes},
        {MessageBoxButtons::YesNoDefaultNo, MessageBoxAnswer::No},
    };
    const Text text = chineseText(MessageId::ReplaceOtherVolumes), title = programText("信息");
    for (const auto& c : cases) {
        SCOPED_TRACE(unsigned(c.buttons));
        driver->expect(Reply::enterKey());
        EXPECT_EQ(window.showMessageBox(text, title, c.buttons), c.enter);
        ASSERT_FALSE(driver->boxes().empty());
        EXPECT_EQ(driver->boxes().back().defaultAnswer, c.enter);
    }
}

// The update check asks from its own thread.
TEST_P(WindowConformance, AMessageBoxCanBeAskedForFromAnotherThread) {
    driver->expect(Reply::box(MessageBoxAnswer::Yes));
    std::atomic<int> answer{-100};
    std::thread other([&] {
        answer = int(window.showMessageBox(programText("有新版本"), programText("更新"),
                                           MessageBoxButtons::YesNo));
    });
    EXPECT_TRUE(driver->waitUntil([&] { return answer != -100; }));
    other.join();
    EXPECT_EQ(answer, int(MessageBoxAnswer::Yes));
    ASSERT_EQ(driver->boxes().size(), 1u);
    EXPECT_TRUE(driver->boxes()[0].ownerless);
}

// While a box is up the main window still takes clicks; they run their handlers nested in the
// one that shows the box, on the window's thread, and a second box can open over the first.
TEST_P(WindowConformance, AClickWhileABoxIsUpRunsItsHandlerNested) {
    program.bindEventHandlers();
    const auto uiThread = std::this_thread::get_id();
    std::vector<std::string> log;
    window.bindClick(Control::SplitButton, [&] {
        log.push_back(std::this_thread::get_id() == uiThread ? "split on the window's thread"
                                                             : "split elsewhere");
    });
    driver->expect(Reply::box(MessageBoxAnswer::Ok, [&] {
        driver->click(Control::CustomModeRadio);
        log.push_back(driver->isEnabled(Control::ExpressionEdit) ? "expression enabled"
                                                                 : "expression disabled");
        driver->click(Control::SplitButton);
        driver->click(Control::AssistMenuButton);
        log.push_back("boxes up: " + std::to_string(driver->boxesUp()));
    }));
    driver->expect(Reply::box(MessageBoxAnswer::Ok));
    driver->click(Control::AssistMenuButton);
    log.push_back("boxes up: " + std::to_string(driver->boxesUp()));
    EXPECT_EQ(log, (std::vector<std::string>{"expression enabled", "split on the window's thread",
                                             "boxes up: 1", "boxes up: 0"}));
    EXPECT_EQ(boxTexts(*driver), (std::vector<Text>{programText("开发中功能，敬请期待"),
                                                    programText("开发中功能，敬请期待")}));
}

// The open-file dialog is modal to the window, shows its title and file type, and gives the
// path typed (existing or not: the load reports it) or nothing.
TEST_P(WindowConformance, TheOpenFileDialogIsModalAndGivesThePathOrNothing) {
    const Text novel = inFolder("novel.txt"), missing = inFolder("missing.txt");
    writeFile(novel, "x");
    for (const std::optional<Text>& typed :
         {std::optional<Text>(novel), std::optional<Text>(missing), std::optional<Text>()}) {
        SCOPED_TRACE(typed.value_or("cancelled"));
        driver->expect(Reply::openFile(typed));
        EXPECT_EQ(window.showOpenFileDialog(), typed);
        ASSERT_FALSE(driver->dialogs().empty());
        const ShownDialog d = driver->dialogs().back();
        EXPECT_TRUE(d.shows(app::openFileDialogTitle()));
        EXPECT_TRUE(d.shows(app::openFileDialogFilter().front().name));
        EXPECT_TRUE(d.modalToWindow);
        EXPECT_EQ(d.startName, "") << "the last name chosen is not offered again";
    }
}

// "打开失败：" and the path; the system's reason follows on a line of its own, in the system's
// language.
Text openFailedAt(const Text& path) { return chineseText({MessageId::OpenFailed, {path}}) + "\n"; }

// The boxes shown are those expected; an expected text that ends in a line end is the
// beginning of one that goes on.
void expectBoxes(const std::vector<Text>& shown, const std::vector<Text>& expected) {
    ASSERT_EQ(shown.size(), expected.size());
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (!expected[i].empty() && expected[i].back() == '\n') {
            EXPECT_EQ(shown[i].rfind(expected[i], 0), 0u) << shown[i];
            EXPECT_GT(shown[i].size(), expected[i].size()) << "no reason: " << shown[i];
        } else {
            EXPECT_EQ(shown[i], expected[i]);
        }
    }
}

// 打开 loads the chosen novel and says how it went; cancelling leaves the novel loaded.
TEST_P(WindowConformance, OpenLoadsTheChosenNovelAndSaysSo) {
    program.bindEventHandlers();
    const Text chapter = programText("第1章");
    writeFile(inFolder("novel.txt"), chapter);
    struct Case {
        std::optional<Text> chosen;
        std::vector<Text> boxes;
        Text document;
    } cases[] = {
        {std::nullopt, {}, "kept"},
        {inFolder("novel.txt"), {chineseText(MessageId::OpenSucceeded)}, chapter},
        {inFolder("missing.txt"), {openFailedAt(inFolder("missing.txt"))}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen.value_or("cancelled"));
        document.replace("kept");
        const std::size_t before = driver->boxes().size();
        driver->expect(Reply::openFile(c.chosen));
        if (!c.boxes.empty()) driver->expect(Reply::box(MessageBoxAnswer::Ok));
        driver->click(Control::OpenButton);
        std::vector<Text> shown = boxTexts(*driver);
        shown.erase(shown.begin(), shown.begin() + before);
        expectBoxes(shown, c.boxes);
        EXPECT_EQ(document.text(), c.document);
    }
}

// The folder browser is modal to the window and shows its title; 浏览 puts the folder chosen
// into the output field, and cancelling empties it.
TEST_P(WindowConformance, TheFolderBrowserIsModalAndBrowseFillsTheOutputField) {
    program.bindEventHandlers();
    for (bool choose : {true, false}) {
        SCOPED_TRACE(choose);
        window.setText(Control::OutputDirEdit, "before");
        driver->expect(Reply::folder(choose));
        driver->click(Control::BrowseButton);
        EXPECT_EQ(window.text(Control::OutputDirEdit),
                  choose ? driver->folderTheBrowserChooses() : Text());
        ASSERT_FALSE(driver->dialogs().empty());
        EXPECT_TRUE(driver->dialogs().back().shows(app::folderBrowserTitle()));
        EXPECT_TRUE(driver->dialogs().back().modalToWindow);
        EXPECT_TRUE(driver->isEnabled(Control::BrowseButton));
    }
}

// A novel dropped on the window loads as with 打开 while none is loaded; other drops do
// nothing.
TEST_P(WindowConformance, ADroppedNovelLoadsWhileNoneIsLoaded) {
    program.bindEventHandlers();
    const Text chapter = programText("第1章");
    const Text novel = inFolder("novel.txt");
    writeFile(novel, chapter);
    writeFile(inFolder("novel.doc"), chapter);
    struct Case {
        const char* what;
        Text loaded;  // the document before
        std::vector<Text> dropped;
        std::vector<Text> boxes;
        Text document;  // after
    } cases[] = {
        {"a novel", "", {novel}, {chineseText(MessageId::OpenSucceeded)}, chapter},
        {"unreadable", "", {inFolder("missing.txt")}, {openFailedAt(inFolder("missing.txt"))}, ""},
        {"a novel is loaded", "kept", {novel}, {}, "kept"},
        {"not a .txt", "", {inFolder("novel.doc")}, {}, ""},
        {"two files", "", {novel, novel}, {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        document.replace(c.loaded);
        const std::size_t before = driver->boxes().size();
        if (!c.boxes.empty()) driver->expect(Reply::box(MessageBoxAnswer::Ok));
        driver->dropFiles(c.dropped);
        if (!c.boxes.empty()) {
            EXPECT_TRUE(driver->waitUntil([&] { return driver->boxes().size() > before; }));
        }
        // A drop that is refused shows nothing, even once what it queued has been handled.
        EXPECT_TRUE(driver->settle());
        std::vector<Text> shown = boxTexts(*driver);
        shown.erase(shown.begin(), shown.begin() + before);
        expectBoxes(shown, c.boxes);
        EXPECT_EQ(document.text(), c.document);
    }
}

// While busy the wait cursor shows; the clicks and keys that came meanwhile are thrown away when
// the work is done, and the next click counts again.
TEST_P(WindowConformance, ClicksWhileBusyAreNotReplayed) {
    int clicks = 0;
    window.bindClick(Control::SplitButton, [&] { ++clicks; });
    driver->postClick(Control::SplitButton);
    EXPECT_TRUE(driver->waitUntil([&] { return clicks == 1; }));  // a queued click is a click
    EXPECT_FALSE(driver->busyCursorShown());
    window.setBusy(true);
    EXPECT_TRUE(driver->busyCursorShown());
    driver->postClick(Control::SplitButton);
    driver->postSpaceBar(Control::SplitButton);
    window.setBusy(false);
    EXPECT_FALSE(driver->busyCursorShown());
    EXPECT_TRUE(driver->settle());
    EXPECT_EQ(clicks, 1);
    driver->postClick(Control::SplitButton);
    EXPECT_TRUE(driver->waitUntil([&] { return clicks == 2; }));
}

// The whole job as the context-menu entry starts it: a novel on the command line, split by a
// click, the window closed with its close button. The second novel has no 第…章 headings: it is
// split by 回 (five pieces at ten a file: one volume), and a second box says so.
TEST_P(WindowConformance, ANovelFromTheCommandLineIsSplitByOneClick) {
    const Text chapters = novelOfChapters(25);
    Text rounds = programText("序言\n");
    for (int i = 1; i <= 4; ++i) {
        rounds += programText("第") + std::to_string(i) + programText("回 标题\n");
        for (int k = 0; k < 300; ++k) rounds += programText("正文。");
        rounds += "\n";
    }
    struct Case {
        Text novel;
        int volumes;
        std::vector<Text> boxes;
    } cases[] = {
        {chapters, 3, {chineseText(MessageId::SplitDone)}},
        {rounds,
         1,
         {chineseText(MessageId::SplitDone),
          chineseText({MessageId::OtherSuffixUsed, {programText("章"), programText("回"), "4"}})}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.volumes);
        const Text path = inFolder("novel.txt");
        writeFile(path, c.novel);
        const std::size_t before = driver->boxes().size();
        Text outputShown, openShown;
        bool openEnabled = true;
        for (std::size_t i = 0; i < c.boxes.size(); ++i)
            driver->expect(Reply::box(MessageBoxAnswer::Ok));
        driver->whileLooping([&] {
            outputShown = window.text(Control::OutputDirEdit);
            openShown = window.text(Control::OpenButton);
            openEnabled = driver->isEnabled(Control::OpenButton);
            driver->click(Control::SplitButton);
        });
        EXPECT_EQ(program.startProgram({path}), 0);
        EXPECT_EQ(outputShown, driver->folder() + separator());
        std::vector<ShownBox> shown = driver->boxes();
        shown.erase(shown.begin(), shown.begin() + before);
        ASSERT_EQ(shown.size(), c.boxes.size());
        for (std::size_t i = 0; i < shown.size(); ++i) {
            EXPECT_EQ(shown[i].text, c.boxes[i]);
            EXPECT_EQ(shown[i].title, programText("信息"));
        }
        const std::vector<Text> volumes = takeVolumes(driver->folder() + separator());
        EXPECT_EQ(int(volumes.size()), c.volumes);
        EXPECT_EQ(joined(volumes), c.novel);
        EXPECT_FALSE(openEnabled);
        EXPECT_EQ(openShown, programText("文件已打开"));
    }
}

// With 分割完成后删除源文件 checked, the split whose 分割成功！ box is up decides on the source
// once that box is closed, and only with the window still there: closed with the window, the check
// box is gone and the novel stays. A second 分割 meanwhile splits again but leaves the source to
// the first, which then deletes it without a word: no false "源文件未删除：…".
TEST_P(WindowConformance, OnlyTheSplitWhoseBoxClosesInAnOpenWindowDeletesTheSource) {
    const Text novel = novelOfChapters(25), path = inFolder("novel.txt");
    struct Case {
        const char* what;
        std::function<void()> whileUp;
        std::vector<Text> boxes;
        bool sourceKept;
    } cases[] = {
        {"the window closed",
         [&] { driver->closeWindow(); },
         {chineseText(MessageId::OpenSucceeded), chineseText(MessageId::SplitDone)},
         true},
        {"分割 again",
         [&] {
             driver->expect(Reply::box(MessageBoxAnswer::Ok));
             driver->click(Control::SplitButton);
             EXPECT_TRUE(readFile(path) == novel) << "deleted by the split started second";
         },
         {chineseText(MessageId::OpenSucceeded), chineseText(MessageId::SplitDone),
          chineseText(MessageId::SplitDone)},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(path, novel);
        program.buildMainWindow();
        program.bindEventHandlers();
        const std::size_t before = driver->boxes().size();
        driver->expect(Reply::openFile(path));
        driver->expect(Reply::box(MessageBoxAnswer::Ok));
        driver->expect(Reply::box(MessageBoxAnswer::Ok, c.whileUp));
        driver->whileLooping([&] {
            driver->click(Control::OpenButton);
            window.setText(Control::OutputDirEdit, driver->folder() + separator());
            window.setChecked(Control::DeleteSourceCheck, true);
            driver->click(Control::SplitButton);
        });
        EXPECT_EQ(window.runMessageLoop(), 0);
        std::vector<Text> shown = boxTexts(*driver);
        shown.erase(shown.begin(), shown.begin() + before);
        EXPECT_EQ(shown, c.boxes);
        const std::optional<Text> source = readFile(path);
        EXPECT_EQ(source.has_value(), c.sourceKept) << "the source is there afterwards";
        if (source) {
            EXPECT_TRUE(*source == novel) << "the source was changed";
        }
        EXPECT_TRUE(joined(takeVolumes(driver->folder() + separator())) == novel)
            << "the volumes are not the novel";
    }
}

}  // namespace
}  // namespace folioknife::testing
