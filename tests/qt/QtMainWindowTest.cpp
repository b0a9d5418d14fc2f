// The Qt window as the user meets it: its layout against the table of controls, its message
// boxes, its dialogs and a whole split, driven through the window's own QWindow so that a
// modal box would block the clicks as it blocks a user's. CTest runs it once with the
// program's code page UTF-8 and once with GBK (FK_TEST_CODEPAGE).
#include <sys/stat.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <QtTest>
#include <atomic>
#include <functional>
#include <map>
#include <set>
#include <thread>

#include "Frame.h"
#include "Settle.h"
#include "app/Application.h"
#include "app/qt/QtMainWindow.h"
#include "folioknife/Version.h"
#include "shell/ContextMenu.h"
#include "splitter/CodePage.h"
#include "splitter/FileService.h"

namespace fk = folioknife;
using fk::app::Control;
using fk::app::Text;
using fk::app::qt::QtMainWindow;
using fk::splitter::programText;

namespace {

struct NoContextMenu : fk::app::ContextMenuEntry {
    bool entryPresent() override { return false; }
    fk::shell::ShellOutcome setEntry(bool) override { return fk::shell::ShellOutcome::done(); }
};
struct NoUpdate : fk::app::UpdateCheck {
    void startUpdateCheck() override {}
};

QString utf8(const char* s) { return QString::fromUtf8(s); }
Text bytes(const QString& s) { return programText(s.toStdString()); }  // in the code page
// A novel of one chapter, 第1章, in the program's code page.
bool writeNovel(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(QByteArray::fromStdString(bytes(utf8("第1章")))) > 0;
}

// Answers the message boxes and file dialogs that appear, each once, outside the tick that
// found it: an answer may click the main window and so open a box nested in this one, which
// the watcher must be free to find.
class Answerer {
public:
    std::function<void(QMessageBox*)> onBox = [](QMessageBox* b) { b->buttons().first()->click(); };
    std::function<void(QFileDialog*)> onDialog = [](QFileDialog* d) { d->reject(); };
    Answerer() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (!w->isVisible() || !seen_.insert(w).second) continue;
                if (auto* box = qobject_cast<QMessageBox*>(w))
                    QTimer::singleShot(0, box, [this, box] { onBox(box); });
                else if (auto* dialog = qobject_cast<QFileDialog*>(w))
                    QTimer::singleShot(0, dialog, [this, dialog] { onDialog(dialog); });
            }
        });
        timer_.start(10);
    }

private:
    QTimer timer_;
    std::set<QWidget*> seen_;
};

// Closes the boxes when the first call queued for the application comes to be handled.
struct CloseOnFirstCall : QObject {
    explicit CloseOnFirstCall(fk::app::qt::QtMessageBoxes& boxes) : boxes(boxes) {}
    bool eventFilter(QObject* receiver, QEvent* event) override {
        if (receiver == qApp && event->type() == QEvent::MetaCall && !closedWhileQueued) {
            boxes.close();
            closedWhileQueued = true;
        }
        return false;
    }
    fk::app::qt::QtMessageBoxes& boxes;
    bool closedWhileQueued = false;
};

}  // namespace

class QtMainWindowTest : public QObject {
    Q_OBJECT

    QtMainWindow window;
    fk::splitter::SourceDocument document;
    NoContextMenu contextMenu;
    NoUpdate update;
    std::unique_ptr<fk::app::Application> app;

    QWidget* control(Control c) { return window.control(c); }
    // A click where a user clicks: on the top-level window, at the control's centre.
    void click(Control c) {
        QTest::mouseClick(fk::testing::frameOf(window)->windowHandle(), Qt::LeftButton, {},
                          control(c)->geometry().center());
    }
    // Starts the program on the given route; 'steps' runs inside its loop and the window is
    // then closed as with its close button. False when the loop had to be ended by force.
    bool runProgram(std::vector<Text> arguments, const std::function<void()>& steps) {
        bool timedOut = false;
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, [&] {
            timedOut = true;
            QCoreApplication::exit(99);
        });
        watchdog.start(20000);
        QTimer::singleShot(0, [&] {
            if (QTest::qWaitForWindowExposed(fk::testing::frameOf(window))) steps();
            fk::testing::frameOf(window)->windowHandle()->close();
        });
        const int code = app->startProgram(arguments);
        return code == 0 && !timedOut && !fk::testing::frameOf(window)->isVisible();
    }

private slots:
    void initTestCase() {
        const QByteArray codePage = qgetenv("FK_TEST_CODEPAGE");
        if (!codePage.isEmpty()) fk::splitter::setProgramCodePage(codePage.toStdString());
    }
    void init() {
        document.replace(Text());
        app = std::make_unique<fk::app::Application>(
            document, fk::splitter::systemFileService(), window, contextMenu, update,
            fk::app::Platform{fk::splitter::PathStyle::Posix, bytes(utf8("/home/读者/output"))});
    }

    // Every control of the table stands in the window as the user sees it: a widget of its
    // kind, in creation order, with its caption, place, state and colours.
    void layout_data() {
        QTest::addColumn<int>("index");
        const auto table = fk::app::controlTable(bytes(utf8("/home/读者/output")));
        for (int i = 0; i < int(table.size()); ++i)
            QTest::newRow(fk::app::controlName(table[i].control)) << i;
    }
    void layout() {
        QFETCH(int, index);
        const fk::app::ControlLayout entry =
            fk::app::controlTable(bytes(utf8("/home/读者/output")))[index];
        app->buildMainWindow();
        const QString name = QTest::currentDataTag();
        auto* w = fk::testing::frameOf(window)->findChild<QWidget*>(name);
        QVERIFY(w);
        QCOMPARE(w->property("controlId").toInt(), 501 + index);
        QCOMPARE(window.control(entry.control), w);
        QCOMPARE(w->parentWidget(),
                 fk::testing::frameOf(window));  // group boxes are no one's parent
        using K = fk::app::ControlKind;
        const std::map<K, QString> classes = {
            {K::PushButton, "QPushButton"}, {K::RadioButton, "QRadioButton"},
            {K::CheckBox, "QCheckBox"},     {K::Edit, "QLineEdit"},
            {K::Label, "QLabel"},           {K::GroupBox, "QGroupBox"}};
        QCOMPARE(w->metaObject()->className(), classes.at(entry.kind));

        QString shown;
        if (auto* e = qobject_cast<QLineEdit*>(w)) shown = e->text();
        if (auto* b = qobject_cast<QAbstractButton*>(w)) shown = b->text();
        if (auto* l = qobject_cast<QLabel*>(w)) shown = l->text();
        if (auto* g = qobject_cast<QGroupBox*>(w)) shown = g->title();
        QCOMPARE(shown, fk::app::qt::toQString(entry.caption));
        QVERIFY(w->isVisible());
        // Inside the window, so that nothing is cut off.
        QVERIFY(fk::testing::frameOf(window)->rect().contains(w->geometry()));
        // One font for all, the window's: the 12-pixel size of the Windows GUI font, which
        // the captions' widths are made for.
        QCOMPARE(w->font(), fk::testing::frameOf(window)->font());
        QCOMPARE(w->font().pixelSize(), 12);
        // The colours: the style's own on push buttons, else the table's text colour on the
        // window's face or on the control's own background.
        const bool edit = entry.kind == K::Edit;
        const QPalette p = w->palette();
        const QColor text = p.color(QPalette::Active, edit ? QPalette::Text : QPalette::WindowText);
        const QColor back = p.color(QPalette::Active, edit ? QPalette::Base : QPalette::Window);
        const QColor face = QApplication::palette().color(QPalette::Window);
        using B = fk::app::ControlColours::Background;
        if (entry.colours.background != B::System) {
            QCOMPARE(text, QColor(QRgb(entry.colours.text)));
            QCOMPARE(back, entry.colours.background == B::ButtonFace
                               ? face
                               : QColor(QRgb(entry.colours.own)));
        }
        if (auto* l = qobject_cast<QLabel*>(w)) QVERIFY(!l->wordWrap());
        if (auto* e = qobject_cast<QLineEdit*>(w)) QVERIFY(e->maxLength() >= 1 << 30);
    }

    // What the user reads: black on white in the edits, the author in green, the other
    // captions black on the window's face, push buttons in the style's colours.
    void colours() {
        app->buildMainWindow();
        const auto colour = [&](Control c, QPalette::ColorRole role) {
            return control(c)->palette().color(QPalette::Active, role);
        };
        const QColor face = QApplication::palette().color(QPalette::Window);
        QCOMPARE(colour(Control::OutputDirEdit, QPalette::Base), QColor(Qt::white));
        QCOMPARE(colour(Control::ExpressionEdit, QPalette::Text), QColor(Qt::black));
        QCOMPARE(colour(Control::AuthorLabel, QPalette::WindowText), QColor(0, 128, 0));
        QCOMPARE(colour(Control::DeleteSourceCheck, QPalette::WindowText), QColor(Qt::black));
        QCOMPARE(colour(Control::MiscGroup, QPalette::Window), face);
        QCOMPARE(colour(Control::SplitButton, QPalette::ButtonText),
                 QApplication::palette(control(Control::SplitButton))
                     .color(QPalette::Active, QPalette::ButtonText));
    }

    void theWindow() {
        app->buildMainWindow();
        QWidget* frame = fk::testing::frameOf(window);
        QCOMPARE(window.title(), Text("Tarvelle V" FOLIOKNIFE_VERSION));
        QCOMPARE(frame->windowTitle(), QString("Tarvelle V" FOLIOKNIFE_VERSION));
        QVERIFY(frame->isWindow() && frame->isVisible());
        QCOMPARE(frame->pos(), QPoint(50, 50));
        QCOMPARE(frame->size(), QSize(425, 270));
        QCOMPARE(frame->minimumSize(), frame->maximumSize());
        const Qt::WindowFlags flags = frame->windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        const QList<QSize> iconSizes = frame->windowIcon().availableSizes();
        for (int s : {16, 32, 48}) QVERIFY(iconSizes.contains(QSize(s, s)));
        // The group boxes stand behind every other control.
        const QObjectList children = frame->children();
        qsizetype lastGroup = -1, firstOther = children.size();
        for (qsizetype i = 0; i < children.size(); ++i) {
            if (!children[i]->isWidgetType()) continue;
            if (qobject_cast<QGroupBox*>(children[i]))
                lastGroup = i;
            else
                firstOther = std::min(firstOther, i);
        }
        QVERIFY(lastGroup >= 0 && lastGroup < firstOther);
    }

    // The space bar on a focused radio button or check box clicks it as the mouse does (the
    // window contract covers the mouse): the mark changes before the handler runs, and the
    // selected radio button fires again.
    void marks_data() {
        QTest::addColumn<QStringList>("clicks");  // "Name" by mouse, "space:Name" by keyboard
        QTest::addColumn<QString>("checked");     // the marked controls afterwards
        QTest::addColumn<QString>("handled");     // each handler run, with its control's mark
        QTest::newRow("selected radio again")
            << QStringList{"DefaultModeRadio", "space:DefaultModeRadio"} << "DefaultModeRadio"
            << "DefaultModeRadio:1 DefaultModeRadio:1";
        QTest::newRow("check box twice, by keyboard")
            << QStringList{"space:ContextMenuCheck", "ContextMenuCheck"} << "DefaultModeRadio"
            << "ContextMenuCheck:1 ContextMenuCheck:0";
    }
    void marks() {
        QFETCH(QStringList, clicks);
        QFETCH(QString, checked);
        QFETCH(QString, handled);
        app->buildMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(fk::testing::frameOf(window)));
        QStringList runs;
        for (Control c :
             {Control::DefaultModeRadio, Control::CustomModeRadio, Control::ContextMenuCheck})
            window.bindClick(c, [&, c] {
                runs << QString("%1:%2").arg(fk::app::controlName(c)).arg(window.isChecked(c));
            });
        for (const QString& step : clicks) {
            QWidget* w = fk::testing::frameOf(window)->findChild<QWidget*>(step.section(':', -1));
            if (step.startsWith("space:")) {
                w->setFocus();
                QTest::keyClick(w, Qt::Key_Space);
            } else {
                click(static_cast<Control>(w->property("controlId").toInt() - 501));
            }
        }
        QStringList marked;
        for (int i = 0; i < fk::app::kControlCount; ++i)
            if (window.isChecked(static_cast<Control>(i)))
                marked << fk::app::controlName(static_cast<Control>(i));
        QCOMPARE(marked.join(' '), checked);
        QCOMPARE(runs.join(' '), handled);
    }

    // Texts cross between the code page and Qt both ways; what the code page cannot hold
    // becomes '?', one per character.
    void texts_data() {
        QTest::addColumn<int>("which");
        QTest::addColumn<QByteArray>("set");  // raw code-page bytes, or empty to type 'typed'
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("readBack");  // "?" stands for itself
        const int edit = int(Control::OutputDirEdit);
        const bool gbk = fk::splitter::sameCodePage(fk::splitter::programCodePage(), "GBK");
        QTest::newRow("button caption")
            << int(Control::OpenButton) << QByteArray::fromStdString(bytes("文件已打开")) << ""
            << utf8("文件已打开") << utf8("文件已打开");
        QTest::newRow("a byte invalid in the code page") << edit << QByteArray("a\xFF") << ""
                                                         << "a?"
                                                         << "a?";
        QTest::newRow("typed Chinese")
            << edit << QByteArray() << utf8("第十二章") << utf8("第十二章") << utf8("第十二章");
        QTest::newRow("typed Hangul")
            << edit << QByteArray() << utf8("한글") << utf8("한글") << (gbk ? "??" : utf8("한글"));
        // The expression keeps what the code page lacks, as its code point.
        QTest::newRow("typed expression")
            << int(Control::ExpressionEdit) << QByteArray() << utf8("[✦]第") << utf8("[✦]第")
            << (gbk ? utf8("[\\x{2726}]第") : utf8("[✦]第"));
        const QString longText(40000, QChar(0x7AE0));
        QTest::newRow("longer than Qt's default limit")
            << edit << QByteArray() << longText << longText << longText;
    }
    void texts() {
        QFETCH(int, which);
        QFETCH(QByteArray, set);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QString, readBack);
        app->buildMainWindow();
        const auto c = static_cast<Control>(which);
        if (typed.isEmpty())
            window.setText(c, set.toStdString());
        else
            qobject_cast<QLineEdit*>(control(c))->setText(typed);  // as the user types it
        QWidget* w = control(c);
        QString inWidget;
        if (auto* e = qobject_cast<QLineEdit*>(w)) inWidget = e->text();
        if (auto* b = qobject_cast<QAbstractButton*>(w)) inWidget = b->text();
        if (auto* g = qobject_cast<QGroupBox*>(w)) inWidget = g->title();
        QCOMPARE(inWidget, shown);
        QCOMPARE(window.text(c), bytes(readBack));
    }

    void nameFilters_data() {
        QTest::addColumn<QStringList>("filter");  // name, patterns, name, patterns, ...
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("the program's") << QStringList{utf8("文本文件(*.txt)"), "*.txt"}
                                       << QStringList{utf8("文本文件(*.txt)")};
        QTest::newRow("pattern added") << QStringList{"All", "*.*"} << QStringList{"All (*.*)"};
        QTest::newRow("two entries, two patterns")
            << QStringList{"Text", "*.txt;*.log", "All(*.*)", "*.*"}
            << QStringList{"Text (*.txt *.log)", "All(*.*)"};
        QTest::newRow("name shows another pattern")
            << QStringList{"Text(*.txt)", "*.log"} << QStringList{"Text(*.txt) (*.log)"};
        QTest::newRow("no entries") << QStringList{} << QStringList{};
    }
    void nameFilters() {
        QFETCH(QStringList, filter);
        QFETCH(QStringList, expected);
        std::vector<fk::app::FileFilter> filters;
        for (qsizetype i = 0; i + 1 < filter.size(); i += 2)
            filters.push_back({bytes(filter[i]), bytes(filter[i + 1])});
        QCOMPARE(fk::app::qt::qtNameFilters(filters), expected);
    }

    // The box's buttons, their order and answers, closing it, and asking from another thread.
    void messageBoxes_data() {
        QTest::addColumn<unsigned>("flags");
        QTest::addColumn<QString>("action");  // a button's caption, "close" or "escape"
        QTest::addColumn<bool>("fromThread");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("buttons");
        QTest::newRow("OK box closed") << 0u << "close" << false << 0 << utf8("确定");
        QTest::newRow("OK box, Escape") << 0u << "escape" << false << 0 << utf8("确定");
        QTest::newRow("Yes") << 4u << utf8("是") << false << 5 << utf8("是 否");
        QTest::newRow("Yes/No box closed") << 4u << "close" << false << 6 << utf8("是 否");
        QTest::newRow("OK from the update thread") << 0u << "close" << true << 0 << utf8("确定");
        QTest::newRow("OK/Cancel closed") << 1u << "close" << false << 1 << utf8("确定 取消");
        QTest::newRow("Retry") << 2u << utf8("重试") << false << 3 << utf8("中止 重试 忽略");
    }
    void messageBoxes() {
        QFETCH(unsigned, flags);
        const auto buttonsAsked = static_cast<fk::app::MessageBoxButtons>(flags);
        QFETCH(QString, action);
        QFETCH(bool, fromThread);
        QFETCH(int, answer);
        QFETCH(QString, buttons);
        QStringList seen;
        Answerer answerer;
        answerer.onBox = [&](QMessageBox* box) {
            QList<QAbstractButton*> list = box->buttons();
            std::sort(list.begin(), list.end(),
                      [](auto* a, auto* b) { return a->x() < b->x(); });  // as shown
            QStringList captions;
            for (auto* b : list) captions << b->text();
            seen << box->windowTitle() << box->text() << captions.join(' ')
                 << QString::number(
                        box->parentWidget() == nullptr && box->windowModality() == Qt::NonModal &&
                        box->icon() == QMessageBox::NoIcon && box->thread() == qApp->thread());
            if (action == "close")
                box->close();
            else if (action == "escape")
                QTest::keyClick(box, Qt::Key_Escape);
            else
                for (auto* b : list)
                    if (b->text() == action) b->click();
        };
        const Text text = programText("有新版本"), title = programText("更新");
        int got = -2;
        if (fromThread) {
            std::atomic<bool> done{false};
            std::thread asker([&] {
                got = static_cast<int>(window.showMessageBox(text, title, buttonsAsked));
                done = true;
            });
            QTRY_VERIFY_WITH_TIMEOUT(done, 10000);
            asker.join();
        } else {
            got = static_cast<int>(window.showMessageBox(text, title, buttonsAsked));
        }
        QCOMPARE(seen, (QStringList{utf8("更新"), utf8("有新版本"), buttons, "1"}));
        QCOMPARE(got, answer);
    }

    // The update thread may ask for its prompt after the window has gone: its fetch can take a
    // minute, and the program does not wait for it. Once the program's boxes are closed, as
    // main() closes them before the window and the application object go, a request queued
    // before or made after gets no answer and shows nothing.
    void aPromptAfterTheEndShowsNothing() {
        fk::app::qt::QtMessageBoxes boxes;
        QStringList seen;
        Answerer answerer;
        answerer.onBox = [&](QMessageBox* box) {
            seen << box->text();
            box->buttons().first()->click();
        };
        const Text text = programText("有新版本"), title = programText("更新");
        std::atomic<int> before{-2}, after{-2};
        // The boxes are closed once the request is in the queue, just before it is handled.
        QCoreApplication::sendPostedEvents(qApp, QEvent::MetaCall);  // nothing else queued
        CloseOnFirstCall closer(boxes);
        qApp->installEventFilter(&closer);
        std::thread early([&] {
            before = int(boxes.showMessageBox(text, title, fk::app::MessageBoxButtons::YesNo));
        });
        QTRY_VERIFY_WITH_TIMEOUT(before != -2, 10000);
        qApp->removeEventFilter(&closer);
        early.join();
        QVERIFY(closer.closedWhileQueued);
        std::thread late([&] {
            after = int(boxes.showMessageBox(text, title, fk::app::MessageBoxButtons::YesNo));
        });
        late.join();
        QVERIFY(fk::testing::settle());
        QCOMPARE(before.load(), int(fk::app::MessageBoxAnswer::None));
        QCOMPARE(after.load(), int(fk::app::MessageBoxAnswer::None));
        QCOMPARE(seen, QStringList{});
    }

    // Opening must not wait for a writer that never comes.
    void openDialog_data() {
        QTest::addColumn<QString>("choice");  // a file name in the temporary folder, or cancel
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("text");
        // The path follows (after 打开失败, the system's reason on a line of its own); opening
        // must not wait for a writer that never comes, and a FIFO is no novel.
        QTest::newRow("a FIFO") << "fifo.txt" << utf8("不是普通文件：") << "";
    }
    void openDialog() {
        QFETCH(QString, choice);
        QFETCH(QString, report);
        QFETCH(QString, text);
        QTemporaryDir dir;
        // An ASCII name: Qt reads file names as UTF-8 whatever the locale, so under GBK a
        // Chinese name chosen in the dialog names a different file.
        QVERIFY(writeNovel(dir.filePath("novel.txt")));
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("fifo.txt")).constData(), 0600), 0);
        document.replace("kept");
        QStringList seen;
        Answerer answerer;
        answerer.onDialog = [&](QFileDialog* d) {
            seen << d->windowTitle() << d->nameFilters().join(";;")
                 << QString::number(d->parentWidget() == fk::testing::frameOf(window) &&
                                    d->windowModality() == Qt::WindowModal &&
                                    d->fileMode() == QFileDialog::AnyFile);
            if (choice.isEmpty()) return d->reject();
            // Typed, as selectFile() leaves a focused name field alone.
            d->findChild<QLineEdit*>("fileNameEdit")->setText(dir.filePath(choice));
            static_cast<QDialog*>(d)->accept();  // QFileDialog hides it
        };
        answerer.onBox = [&](QMessageBox* box) {
            seen << box->text();
            box->buttons().first()->click();
        };
        QVERIFY(runProgram({}, [&] { click(Control::OpenButton); }));
        QStringList expected{utf8("打开文件"), utf8("文本文件(*.txt)"), "1"};
        if (report.endsWith(utf8("："))) {
            const QString head = report + dir.filePath(choice);
            const bool reasoned = report.startsWith(utf8("打开失败"));
            QVERIFY2(seen.size() == 4 && (reasoned ? seen.last().startsWith(head + "\n") &&
                                                         seen.last() != head + "\n"
                                                   : seen.last() == head),
                     qPrintable(seen.join("|")));
            seen.removeLast();
        } else if (!report.isEmpty()) {
            expected << report;
        }
        QCOMPARE(seen, expected);
        QCOMPARE(document.text(), bytes(text));
    }

    // A folder or a FIFO named on the command line is no novel: the window says so and opens as
    // without one (打开 still there), never 文件已打开 and later only 请先设定TXT文件位置.
    void commandLineNoFile_data() {
        QTest::addColumn<bool>("fifo");
        QTest::newRow("a FIFO") << true;
        QTest::newRow("a folder") << false;
    }
    void commandLineNoFile() {
        QFETCH(bool, fifo);
        QTemporaryDir dir;
        const QString path = dir.filePath("novel.txt");
        const QByteArray name = QFile::encodeName(path);
        QCOMPARE(fifo ? ::mkfifo(name.constData(), 0600) : ::mkdir(name.constData(), 0700), 0);
        QStringList seen;
        QString openText;
        bool openEnabled = false;
        // The box comes before the window's loop: the steps follow its answer.
        Answerer answerer;
        answerer.onBox = [&](QMessageBox* box) {
            seen << box->text();
            box->buttons().first()->click();
            if (seen.size() > 1) return;
            QTimer::singleShot(0, [&] {
                if (QTest::qWaitForWindowExposed(fk::testing::frameOf(window))) {
                    openText = qobject_cast<QAbstractButton*>(control(Control::OpenButton))->text();
                    openEnabled = control(Control::OpenButton)->isEnabled();
                    click(Control::SplitButton);
                }
                fk::testing::frameOf(window)->windowHandle()->close();
            });
        };
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        watchdog.start(20000);
        app->startProgram({bytes(path)});
        QVERIFY(watchdog.isActive());
        QCOMPARE(seen, (QStringList{utf8("不是普通文件：") + path, utf8("请先设定TXT文件位置")}));
        QVERIFY(openEnabled);
        QVERIFY(openText != utf8("文件已打开"));
    }

    // The real desktop entry, which cannot be written (its folder is a file): the failure is
    // said with the system's reason after the warning, and the mark goes back.
    void contextEntryFailureIsSaid() {
        QTemporaryDir dir;
        QFile blocker(dir.filePath("applications"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QByteArray before = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path()));
        std::unique_ptr<fk::shell::ContextMenuEntry> entry = fk::shell::makeContextMenuEntry();
        app = std::make_unique<fk::app::Application>(
            document, fk::splitter::systemFileService(), window, *entry, update,
            fk::app::Platform{fk::splitter::PathStyle::Posix, bytes(utf8("/home/读者/output"))});
        QStringList seen;
        Answerer answerer;
        answerer.onBox = [&](QMessageBox* box) {
            seen << box->text();
            box->buttons().first()->click();
        };
        bool checked = true;
        QVERIFY(runProgram({}, [&] {
            click(Control::ContextMenuCheck);
            checked = qobject_cast<QCheckBox*>(control(Control::ContextMenuCheck))->isChecked();
        }));
        if (before.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", before);
        QVERIFY2(seen.size() == 2 && seen[1].startsWith(utf8("无法添加右键菜单：")) &&
                     seen[1].size() > utf8("无法添加右键菜单：").size(),
                 qPrintable(seen.join("|")));
        QVERIFY(!checked);
        QVERIFY(!QFileInfo(dir.filePath("applications")).isDir());
    }

    // A novel dragged from a file manager loads as with 打开 into an empty window; other drops
    // are refused while they are dragged over it, and a drop that comes anyway does nothing.
    void dropOpensANovel_data() {
        QTest::addColumn<QString>("loaded");  // the document before
        QTest::addColumn<QStringList>("urls");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("text");       // the document after
        const QString novel = "file:novel.txt";  // "file:" is the temporary folder
        QTest::newRow("a novel") << "" << QStringList{novel} << true << utf8("打开成功")
                                 << utf8("第1章");
        QTest::newRow("not a .txt") << "" << QStringList{"file:novel.epub"} << false << ""
                                    << "";
        QTest::newRow("a web address")
            << "" << QStringList{"https://example.org/novel.txt"} << false << ""
            << "";
    }
    void dropOpensANovel() {
        QFETCH(QString, loaded);
        QFETCH(QStringList, urls);
        QFETCH(bool, taken);
        QFETCH(QString, report);
        QFETCH(QString, text);
        QTemporaryDir dir;
        QVERIFY(writeNovel(dir.filePath("novel.txt")));
        app->buildMainWindow();
        app->bindEventHandlers();
        QVERIFY(QTest::qWaitForWindowExposed(fk::testing::frameOf(window)));
        document.replace(bytes(loaded));
        QStringList seen;
        Answerer answerer;
        answerer.onBox = [&](QMessageBox* box) {
            seen << box->text();
            box->buttons().first()->click();
        };
        QList<QUrl> list;
        for (QString url : urls)
            list << QUrl(url.startsWith("file:") ? "file://" + dir.filePath(url.mid(5)) : url);
        QMimeData data;
        data.setUrls(list);
        data.setText(list.first().toString());  // file managers send the path as text as well
        // Anywhere on the window, the edits included: a file is not text to type into one.
        for (QWidget* w : fk::testing::frameOf(window)->findChildren<QWidget*>())
            QVERIFY2(!w->acceptDrops(), qPrintable(w->objectName()));
        QVERIFY(fk::testing::frameOf(window)->acceptDrops());
        const QPoint at = control(Control::OutputDirEdit)->geometry().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(fk::testing::frameOf(window), &enter);
        QCOMPARE(enter.isAccepted(), taken);
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(fk::testing::frameOf(window), &drop);
        QCOMPARE(drop.isAccepted(), taken);
        if (taken) QTRY_COMPARE(seen.size(), 1);
        QVERIFY(fk::testing::settle());  // and no box after it
        QCOMPARE(seen, report.isEmpty() ? QStringList{} : QStringList{report});
        QCOMPARE(document.text(), bytes(text));
    }

    // A file name is the file's bytes: under GBK a Chinese name is sent percent-escaped in GBK.
    void droppedFilesAreTheNamesBytes() {
        QMimeData data;
        data.setUrls({QUrl::fromEncoded("file:///home/r/%B5%DA%D2%BB.txt"),
                      QUrl::fromLocalFile(utf8("/home/r/第一 部.TXT"))});
        QCOMPARE(fk::app::qt::droppedFiles(data),
                 (std::vector<Text>{"/home/r/\xB5\xDA\xD2\xBB.txt",
                                    utf8("/home/r/第一 部.TXT").toStdString()}));
    }

    // Under a Chinese locale Qt's file dialog speaks Chinese; without a translation for the
    // locale, English stays.
    void theDialogsSpeakTheLocalesLanguage_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("loaded");
        QTest::addColumn<QString>("buttons");
        QTest::addColumn<QString>("folder");  // a folder's type in the dialog's list
        QTest::newRow("zh_CN") << "zh_CN" << true << utf8("打开(&O) 取消") << utf8("文件夹");
        QTest::newRow("zh_TW") << "zh_TW" << true << utf8("開啟(&O) 取消") << utf8("資料夾");
        QTest::newRow("no translation") << "en_US" << false << "&Open Cancel"
                                        << "Folder";
    }
    void theDialogsSpeakTheLocalesLanguage() {
        QFETCH(QString, locale);
        QFETCH(bool, loaded);
        QFETCH(QString, buttons);
        QFETCH(QString, folder);
        QCOMPARE(fk::app::qt::loadQtTranslations(QLocale(locale)), loaded);
        QCOMPARE(QCoreApplication::translate("QAbstractFileIconProvider", "Folder"), folder);
        QStringList seen;
        Answerer answerer;
        answerer.onDialog = [&](QFileDialog* d) {
            QStringList captions;
            for (QAbstractButton* b : d->findChild<QDialogButtonBox*>()->buttons())
                captions << b->text();
            seen << captions.join(' ');
            d->reject();
        };
        QVERIFY(runProgram({}, [&] { click(Control::OpenButton); }));
        for (QTranslator* t : QCoreApplication::instance()->findChildren<QTranslator*>()) {
            QCoreApplication::removeTranslator(t);
            delete t;
        }
        QCOMPARE(seen, QStringList{buttons});
    }

    // The folder browser opens at the folder 输出到 names, or the nearest one above it that
    // exists.
    void theFolderBrowserOpensAtTheOutputFolder() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(utf8("书/西游记")));
        const QString here = QDir(dir.path()).canonicalPath();
        struct Case {
            QString typed, opened;
        } cases[] = {
            {here + utf8("/书/西游记"), here + utf8("/书/西游记")},
            {here + utf8("/书/红楼梦/卷一"), here + utf8("/书")},
        };
        for (const Case& c : cases) {
            QString opened;
            Answerer answerer;
            answerer.onDialog = [&](QFileDialog* d) {
                opened = d->directory().canonicalPath();
                d->reject();
            };
            QVERIFY(runProgram({}, [&] {
                window.setText(Control::OutputDirEdit, bytes(c.typed));
                click(Control::BrowseButton);
            }));
            QCOMPARE(opened, c.opened);
        }
    }
};

QTEST_MAIN(QtMainWindowTest)
#include "QtMainWindowTest.moc"
