// The window contract run against the Qt window on the offscreen platform, driven through the
// window's own QWindow so that a modal box would block the clicks as it blocks a user's. CTest
// runs it once with the program's code page UTF-8 and once with GBK (FK_TEST_CODEPAGE).
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>
#include <deque>

#include "Frame.h"
#include "Settle.h"
#include "app/qt/QtMainWindow.h"
#include "splitter/CodePage.h"
#include "window/WindowConformance.h"

namespace folioknife::testing {
namespace {
using app::Control;
using app::Text;
using app::qt::fromQString;
using app::qt::toQString;

// The caption of the button that gives this answer.
QString captionFor(app::MessageBoxAnswer answer) {
    for (unsigned b = 0; b <= unsigned(app::MessageBoxButtons::RetryCancel); ++b)
        for (const auto& button : app::qt::messageBoxLayout(app::MessageBoxButtons(b)).buttons)
            if (button.answer == answer) return QString::fromUtf8(button.caption);
    return QString();
}

class QtDriver : public WindowDriver {
public:
    QtDriver() {
        // Boxes and dialogs are answered outside the tick that found them: an answer may click
        // the main window and so open a box nested in this one, which must be found as well.
        QObject::connect(&watcher_, &QTimer::timeout, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (!w->isVisible() || w->property("fkAnswered").toBool()) continue;
                if (!qobject_cast<QMessageBox*>(w) && !qobject_cast<QFileDialog*>(w)) continue;
                w->setProperty("fkAnswered", true);
                QTimer::singleShot(0, w, [this, w] { answer(w); });
            }
        });
        watcher_.start(10);
        watchdog_.setSingleShot(true);
        QObject::connect(&watchdog_, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    }

    app::MainWindow& window() override { return window_; }
    app::Platform platform() override {
        return {splitter::PathStyle::Posix, splitter::programText("/home/读者/output")};
    }
    std::string whyNoWindow() override {
        if (!dir_.isValid()) return "no temporary folder";
        return QTest::qWaitForWindowExposed(folioknife::testing::frameOf(window_))
                   ? ""
                   : "the window was not exposed";
    }
    void click(Control c) override {
        QTest::mouseClick(folioknife::testing::frameOf(window_)->windowHandle(), Qt::LeftButton, {},
                          window_.control(c)->geometry().center());
    }
    void closeWindow() override { folioknife::testing::frameOf(window_)->windowHandle()->close(); }
    void postClick(Control c) override {
        QWidget* w = window_.control(c);
        const QPointF at(5, 5);
        for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
            QCoreApplication::postEvent(
                w, new QMouseEvent(type, at, w->mapToGlobal(at), Qt::LeftButton,
                                   type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                                   Qt::NoModifier));
    }
    void postSpaceBar(Control c) override {
        QWidget* w = window_.control(c);
        w->setFocus();
        for (auto type : {QEvent::KeyPress, QEvent::KeyRelease})
            QCoreApplication::postEvent(w, new QKeyEvent(type, Qt::Key_Space, Qt::NoModifier));
    }
    bool isEnabled(Control c) override { return window_.control(c)->isEnabled(); }
    Rect geometry(Control c) override {
        const QRect r = window_.control(c)->geometry();
        return {r.x(), r.y(), r.width(), r.height()};
    }
    bool busyCursorShown() override {
        return QApplication::overrideCursor() &&
               QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    }
    void expect(Reply reply) override { replies_.push_back(std::move(reply)); }
    std::vector<ShownBox> boxes() override { return boxes_; }
    std::vector<ShownDialog> dialogs() override { return dialogs_; }
    int boxesUp() override {
        int up = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            up += qobject_cast<QMessageBox*>(w) && w->isVisible();
        return up;
    }
    Text folderTheBrowserChooses() override {
        const QString chosen = dir_.filePath(QString::fromUtf8("输出"));
        QDir().mkpath(chosen);
        return fromQString(chosen);
    }
    void dropFiles(const std::vector<Text>& paths) override {
        QList<QUrl> urls;
        for (const Text& p : paths)
            urls << QUrl::fromEncoded("file://" +
                                      QByteArray::fromStdString(p).toPercentEncoding("/"));
        QMimeData data;
        data.setUrls(urls);
        const QPoint at = window_.control(Control::OutputDirEdit)->geometry().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(folioknife::testing::frameOf(window_), &enter);
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(folioknife::testing::frameOf(window_), &drop);
    }
    bool waitUntil(const std::function<bool()>& done, int milliseconds) override {
        return QTest::qWaitFor(done, milliseconds);
    }
    bool settle() override { return folioknife::testing::settle(); }
    void whileLooping(std::function<void()> steps) override {
        watchdog_.start(20000);  // a loop that does not end fails the test instead of hanging
        runInLoop(std::move(steps));
    }
    Text folder() override { return fromQString(dir_.path()); }

private:
    // Once a loop runs (not while events are merely processed before it).
    void runInLoop(std::function<void()> steps) {
        QTimer::singleShot(10, [this, steps] {
            if (QThread::currentThread()->loopLevel() == 0) return runInLoop(steps);
            if (QTest::qWaitForWindowExposed(folioknife::testing::frameOf(window_))) steps();
            folioknife::testing::frameOf(window_)->windowHandle()->close();
        });
    }
    Reply next() {
        if (replies_.empty()) {
            ADD_FAILURE() << "a box or dialog came that the test did not expect";
            return Reply{};
        }
        Reply reply = std::move(replies_.front());
        replies_.pop_front();
        return reply;
    }
    void answer(QWidget* w) {
        const Reply reply = next();
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            EXPECT_EQ(int(reply.kind), int(Reply::Kind::Box));
            app::MessageBoxAnswer defaultAnswer = app::MessageBoxAnswer::None;
            for (unsigned b = 0; b <= unsigned(app::MessageBoxButtons::RetryCancel); ++b)
                for (const auto& button :
                     app::qt::messageBoxLayout(app::MessageBoxButtons(b)).buttons)
                    if (box->defaultButton() &&
                        box->defaultButton()->text() == QString::fromUtf8(button.caption))
                        defaultAnswer = button.answer;
            boxes_.push_back(
                {fromQString(box->windowTitle()), fromQString(box->text()),
                 box->parentWidget() == nullptr && box->windowModality() == Qt::NonModal,
                 defaultAnswer});
            if (reply.whileUp) reply.whileUp();
            if (reply.enter) return QTest::keyClick(box, Qt::Key_Return);
            for (QAbstractButton* b : box->buttons())
                if (b->text() == captionFor(reply.press)) return b->click();
            ADD_FAILURE() << "no button " << captionFor(reply.press).toStdString()
                          << " in: " << box->text().toStdString();
            return box->buttons().first()->click();
        }
        auto* dialog = static_cast<QFileDialog*>(w);
        ShownDialog shown{{fromQString(dialog->windowTitle())},
                          dialog->parentWidget() == folioknife::testing::frameOf(window_) &&
                              dialog->windowModality() == Qt::WindowModal,
                          ""};
        for (const QString& filter : dialog->nameFilters())
            shown.texts.push_back(fromQString(filter));
        if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit"))
            shown.startName = fromQString(name->text());
        dialogs_.push_back(shown);
        // A folder browser picks folders; the open-file dialog takes any name, existing or not.
        EXPECT_EQ(dialog->fileMode(), reply.kind == Reply::Kind::Folder ? QFileDialog::Directory
                                                                        : QFileDialog::AnyFile);
        if (!reply.path || reply.kind == Reply::Kind::Box) return dialog->reject();
        if (reply.kind == Reply::Kind::OpenFile) {
            // Typed, as selectFile() leaves a focused name field alone.
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText(toQString(*reply.path));
        } else {
            dialog->setDirectory(toQString(folderTheBrowserChooses()));
        }
        static_cast<QDialog*>(dialog)->accept();  // QFileDialog's own accept() checks the name
    }

    app::qt::QtMainWindow window_;
    QTemporaryDir dir_;
    QTimer watcher_, watchdog_;
    std::deque<Reply> replies_;
    std::vector<ShownBox> boxes_;
    std::vector<ShownDialog> dialogs_;
};

std::unique_ptr<WindowDriver> makeQtDriver() { return std::make_unique<QtDriver>(); }

INSTANTIATE_TEST_SUITE_P(Qt, WindowConformance, ::testing::Values(&makeQtDriver), NamedAfter{"Qt"});

}  // namespace
}  // namespace folioknife::testing

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QByteArray codePage = qgetenv("FK_TEST_CODEPAGE");
    if (!codePage.isEmpty()) folioknife::splitter::setProgramCodePage(codePage.toStdString());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
