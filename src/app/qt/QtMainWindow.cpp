#include "app/qt/QtMainWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QHeaderView>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QTreeView>
#include <QTranslator>
#include <QUrl>
#include <QVariant>
#include <climits>
#include <condition_variable>
#include <map>
#include <memory>

#include "splitter/CodePage.h"
#include "splitter/PastedExpression.h"

namespace folioknife::app::qt {

using splitter::programCodePage;
using splitter::programText;

QString toQString(const Text& text) {
    const std::string_view bytes(text.c_str());  // a text ends at its first NUL
    if (auto utf8 = splitter::convertText(bytes, programCodePage(), "UTF-8"))
        return QString::fromUtf8(utf8->data(), static_cast<qsizetype>(utf8->size()));
    const std::string shown = splitter::convertForDisplay(bytes, programCodePage(), "UTF-8");
    return QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size()));
}

Text fromQString(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    const std::string_view bytes(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    if (auto converted = splitter::convertText(bytes, "UTF-8", programCodePage()))
        return *converted;
    // iconv's lossy mode writes one '?' per byte of an unconvertible character; Windows
    // writes one per character, and so do we.
    Text out;
    for (const QChar *p = text.constData(), *end = p + text.size(); p < end;) {
        const qsizetype units = p->isHighSurrogate() && p + 1 < end ? 2 : 1;
        const QByteArray one = QString(p, units).toUtf8();
        auto converted = splitter::convertText(
            std::string_view(one.constData(), static_cast<std::size_t>(one.size())), "UTF-8",
            programCodePage());
        out += converted ? *converted : Text("?");
        p += units;
    }
    return out;
}

QStringList qtNameFilters(const std::vector<FileFilter>& filters) {
    QStringList names;
    for (const FileFilter& filter : filters) {
        const QString name = toQString(filter.name);
        QString patterns = toQString(filter.patterns);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (name.endsWith(QLatin1Char('(') + patterns + QLatin1Char(')')))
            names << name;
        else
            names << name + QLatin1String(" (") + patterns + QLatin1Char(')');
    }
    return names;
}

std::vector<Text> droppedFiles(const QMimeData& data) {
    std::vector<Text> files;
    for (const QUrl& url : data.urls()) {
        if (!url.isLocalFile()) return {};
        const QByteArray path =
            QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        files.emplace_back(path.constData(), static_cast<std::size_t>(path.size()));
    }
    return files;
}

namespace {

// The file types that Qt 6's dialogs ask for under a context its Chinese catalogues lack
// ("Folder" stood untranslated in the type column).
class FileTypeTranslator : public QTranslator {
public:
    explicit FileTypeTranslator(bool traditional, QObject* parent)
        : QTranslator(parent), traditional_(traditional) {}
    QString translate(const char* context, const char* source, const char*, int) const override {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0) return {};
        static const std::map<std::string, std::pair<const char*, const char*>> words = {
            {"Folder", {"文件夹", "資料夾"}},    {"File Folder", {"文件夹", "資料夾"}},
            {"Drive", {"驱动器", "磁碟機"}},     {"File", {"文件", "檔案"}},
            {"%1 File", {"%1 文件", "%1 檔案"}}, {"Shortcut", {"快捷方式", "捷徑"}},
            {"Alias", {"替身", "替身"}},         {"Unknown", {"未知", "未知"}}};
        const auto it = words.find(source);
        if (it == words.end()) return {};
        return QString::fromUtf8(traditional_ ? it->second.second : it->second.first);
    }
    bool isEmpty() const override { return false; }

private:
    bool traditional_;
};

}  // namespace

bool loadQtTranslations(const QLocale& locale) {
    // Kept for the rest of the process: an installed translator must outlive its use.
    auto translator = std::make_unique<QTranslator>(QCoreApplication::instance());
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    if (!QCoreApplication::installTranslator(translator.release())) return false;
    if (locale.language() == QLocale::Chinese) {
        const bool traditional = locale.script() == QLocale::TraditionalChineseScript;
        QCoreApplication::installTranslator(
            new FileTypeTranslator(traditional, QCoreApplication::instance()));
    }
    return true;
}

MessageBoxLayout messageBoxLayout(MessageBoxButtons buttons) {
    using A = MessageBoxAnswer;
    using B = MessageBoxButtons;
    switch (buttons) {
        case B::OkCancel:
            return {{{"确定", A::Ok}, {"取消", A::Cancel}}, A::Cancel};
        case B::AbortRetryIgnore:
            return {{{"中止", A::Abort}, {"重试", A::Retry}, {"忽略", A::Ignore}}, std::nullopt};
        case B::YesNoCancel:
            return {{{"是", A::Yes}, {"否", A::No}, {"取消", A::Cancel}}, A::Cancel};
        case B::YesNo:
        case B::YesNoDefaultNo:
            return {{{"是", A::Yes}, {"否", A::No}}, A::No};
        case B::RetryCancel:
            return {{{"重试", A::Retry}, {"取消", A::Cancel}}, A::Cancel};
        case B::Ok:
            break;
    }
    return {{{"确定", A::Ok}}, A::Ok};
}

namespace {

// Shows a box on the user-interface thread and returns when it is dismissed. No parent and
// not modal: the main window stays usable, and a click there runs its handler inside the loop
// below, nested in the handler that shows this box.
MessageBoxAnswer showMessageBoxHere(const Text& text, const Text& title,
                                    MessageBoxButtons buttons) {
    auto box = std::make_unique<QMessageBox>();
    box->setWindowModality(Qt::NonModal);
    box->setIcon(QMessageBox::NoIcon);
    box->setTextFormat(Qt::PlainText);
    box->setWindowTitle(toQString(title));
    box->setText(toQString(text));

    const MessageBoxLayout layout = messageBoxLayout(buttons);
    std::map<QAbstractButton*, MessageBoxAnswer> answers;
    for (const MessageBoxButton& b : layout.buttons) {
        // One role for all keeps the buttons in Windows' order whatever the desktop's
        // dialog layout.
        QPushButton* button =
            box->addButton(toQString(programText(b.caption)), QMessageBox::ActionRole);
        answers[button] = b.answer;
        if (b.answer == defaultAnswerOf(buttons)) box->setDefaultButton(button);
        if (layout.closeAnswer && *layout.closeAnswer == b.answer) box->setEscapeButton(button);
    }
    if (auto* buttonBox = box->findChild<QDialogButtonBox*>()) buttonBox->setCenterButtons(true);

    QEventLoop loop;
    QObject::connect(box.get(), &QDialog::finished, &loop, &QEventLoop::quit);
    box->show();
    box->raise();
    box->activateWindow();
    loop.exec();  // also ends when the program quits while the box is up

    const auto it = answers.find(box->clickedButton());
    if (it != answers.end()) return it->second;
    return layout.closeAnswer.value_or(MessageBoxAnswer::None);
}

// The answer to one request from another thread. The request travels to the user-interface
// thread as a queued call holding a Delivery; should the call be dropped unrun (the
// application object goes with it still queued), the Delivery's end gives None, so the asker
// is never left waiting on a box that will not come.
struct Reply {
    std::mutex mutex;
    std::condition_variable given;
    std::optional<MessageBoxAnswer> answer;
    void give(MessageBoxAnswer a) {
        std::lock_guard<std::mutex> lock(mutex);
        if (!answer) answer = a;
        given.notify_all();
    }
    MessageBoxAnswer wait() {
        std::unique_lock<std::mutex> lock(mutex);
        given.wait(lock, [this] { return answer.has_value(); });
        return *answer;
    }
};
struct Delivery {
    explicit Delivery(std::shared_ptr<Reply> r) : reply(std::move(r)) {}
    Delivery(const Delivery&) = delete;
    Delivery& operator=(const Delivery&) = delete;
    ~Delivery() { reply->give(MessageBoxAnswer::None); }  // no effect once answered
    std::shared_ptr<Reply> reply;
};

}  // namespace

MessageBoxAnswer QtMessageBoxes::showMessageBox(const Text& text, const Text& title,
                                                MessageBoxButtons buttons) {
    auto reply = std::make_shared<Reply>();
    {
        // Held while the call is queued: close() cannot come between the check and the
        // posting, and main() closes before the application object goes. Not held while a
        // box is up: a click meanwhile may show another one.
        std::unique_lock<std::mutex> lock(mutex_);
        QCoreApplication* application = QCoreApplication::instance();
        if (!open_ || !application) return MessageBoxAnswer::None;
        if (QThread::currentThread() == application->thread()) {
            lock.unlock();
            return showMessageBoxHere(text, title, buttons);
        }
        auto delivery = std::make_shared<Delivery>(reply);
        QMetaObject::invokeMethod(
            application,
            [this, delivery, text, title, buttons] {
                // Closed meanwhile: the program is ending, no box any more.
                delivery->reply->give(isOpen() ? showMessageBoxHere(text, title, buttons)
                                               : MessageBoxAnswer::None);
            },
            Qt::QueuedConnection);
    }
    return reply->wait();
}

void QtMessageBoxes::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = false;
}

bool QtMessageBoxes::isOpen() {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}

QtMessageBoxes& processMessageBoxes() {
    static auto* boxes = new QtMessageBoxes;  // never destroyed: see the header
    return *boxes;
}

// The top-level window. Closing it (close button, Alt+F4, the window menu) runs the destroyed
// handler, which ends the loop: the window never asks and never refuses. Files dragged over it
// are taken when the window core wants them.
class QtMainWindow::Frame : public QWidget {
public:
    explicit Frame(QtMainWindow& owner)
        : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowCloseButtonHint),
          owner_(owner) {
        setAcceptDrops(true);
    }

protected:
    void closeEvent(QCloseEvent* event) override {
        event->accept();
        // The controls go with the window, as on Windows: a split whose box was up when the
        // window closed reads no check mark afterwards, so it deletes nothing.
        owner_.closed_ = true;
        owner_.windowDestroyed();
    }
    void dragEnterEvent(QDragEnterEvent* event) override { answerDrag(event); }
    void dragMoveEvent(QDragMoveEvent* event) override { answerDrag(event); }
    void dropEvent(QDropEvent* event) override {
        const std::vector<Text> files = droppedFiles(*event->mimeData());
        if (!owner_.fileDropWanted(files)) return event->ignore();
        event->acceptProposedAction();
        // Loaded once the drop is over: the handler shows a box and waits for the user, and
        // the file manager would wait with it for the end of the drop.
        QMetaObject::invokeMethod(
            this, [this, files] { owner_.filesDropped(files); }, Qt::QueuedConnection);
    }

private:
    void answerDrag(QDropEvent* event) {
        if (owner_.fileDropWanted(droppedFiles(*event->mimeData())))
            event->acceptProposedAction();
        else
            event->ignore();
    }

private:
    QtMainWindow& owner_;
};

QtMainWindow::QtMainWindow() = default;
QtMainWindow::~QtMainWindow() = default;

namespace {

// Black text on the given background for the active and inactive states. The disabled state
// keeps the style's colours, so a disabled edit still looks disabled.
void setColours(QWidget* w, QPalette::ColorRole background, const QColor& backgroundColour,
                const QColor& textColour, QPalette::ColorRole textRole) {
    QPalette palette = w->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, textRole, textColour);
        palette.setColor(group, background, backgroundColour);
    }
    w->setPalette(palette);
}

QWidget* makeWidget(const ControlLayout& layout, QWidget* parent, QButtonGroup* radios) {
    const QString caption = toQString(layout.caption);
    switch (layout.kind) {
        case ControlKind::PushButton:
            return new QPushButton(caption, parent);
        case ControlKind::RadioButton: {
            auto* radio = new QRadioButton(caption, parent);
            radios->addButton(radio);  // exclusive with the other radio button only
            radio->setChecked(layout.checked);
            return radio;
        }
        case ControlKind::CheckBox: {
            auto* check = new QCheckBox(caption, parent);
            check->setChecked(layout.checked);
            return check;
        }
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(parent);
            edit->setMaxLength(INT_MAX);  // Qt's default stops at 32767 characters
            // A file dropped on an edit is a novel for the window, not text to insert; a
            // Windows edit takes no drops either.
            edit->setAcceptDrops(false);
            edit->setText(caption);
            edit->setCursorPosition(0);
            return edit;
        }
        case ControlKind::Label: {
            auto* label = new QLabel(caption, parent);
            label->setTextFormat(Qt::PlainText);  // "<" in a caption is text, not markup
            label->setWordWrap(false);
            // Windows draws a static control's text from its top left corner; the captions
            // were placed for that.
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            return label;
        }
        case ControlKind::GroupBox:
            return new QGroupBox(caption, parent);
    }
    return new QLabel(caption, parent);
}

QColor qColour(Rgb rgb) { return QColor(QRgb(rgb)); }

// The table's colours. An edit paints its text on its base; every other control on the
// window's colour. A control on the button face is not filled: the style's group boxes have a
// shade of their own inside, and a filled label would stand out of it as a patch.
void applyColours(QWidget* w, ControlKind kind, const ControlColours& colours) {
    const bool edit = kind == ControlKind::Edit;
    switch (colours.background) {
        case ControlColours::Background::System:
            return;
        case ControlColours::Background::ButtonFace:
            setColours(w, edit ? QPalette::Base : QPalette::Window,
                       QApplication::palette().color(QPalette::Active, QPalette::Window),
                       qColour(colours.text), edit ? QPalette::Text : QPalette::WindowText);
            return;
        case ControlColours::Background::Own:
            setColours(w, edit ? QPalette::Base : QPalette::Window, qColour(colours.own),
                       qColour(colours.text), edit ? QPalette::Text : QPalette::WindowText);
            return;
    }
}

QAbstractButton* asButton(QWidget* w) { return qobject_cast<QAbstractButton*>(w); }

}  // namespace

void QtMainWindow::createWindow(const Text& title, const WindowLayout& layout) {
    // The loop ends when the window is closed, through the destroyed handler, as on Windows;
    // Qt's own rule would also end it when the last message box is closed.
    QApplication::setQuitOnLastWindowClosed(false);
    closed_ = false;

    controls_ = {};
    frame_ = std::make_unique<Frame>(*this);
    frame_->setWindowTitle(toQString(title));
    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addFile(QStringLiteral(":/folioknife/folioknife-%1.png").arg(size), QSize(size, size));
    frame_->setWindowIcon(icon);
    // The controls are laid out for the Windows GUI font of a Chinese system (宋体 9 pt:
    // 12 pixels, a Chinese character 12 pixels wide, Latin half that). A Chinese font of the
    // same pixel size for every character, Latin ones included, keeps captions such as
    // "+数字部分+" inside their 64 pixels; Qt falls back on its own font where none is found.
    QFont font = frame_->font();
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(12);
    frame_->setFont(font);
    // Qt sizes a window by its client area; the controls were placed for the one Windows
    // leaves inside the window's outer size.
    frame_->setFixedSize(layout.clientWidth, layout.clientHeight);
    frame_->move(layout.x, layout.y);
    frame_->setAutoFillBackground(true);
    frame_->show();

    radios_ = new QButtonGroup(frame_.get());
    radios_->setExclusive(true);
}

void QtMainWindow::createControl(const ControlLayout& layout, int id) {
    QWidget* w = makeWidget(layout, frame_.get(), radios_);
    applyColours(w, layout.kind, layout.colours);
    w->setObjectName(QString::fromLatin1(controlName(layout.control)));
    w->setProperty("controlId", id);
    w->setGeometry(layout.x, layout.y, layout.width, layout.height);
    w->setEnabled(layout.enabled);
    // The group boxes are siblings drawn around the others, not their parents: keep them
    // behind, or they would hide what stands inside them.
    if (layout.kind == ControlKind::GroupBox) w->lower();
    w->show();  // the window is already visible; children created later need their own show()
    controls_[static_cast<std::size_t>(layout.control)] = w;
    if (QAbstractButton* button = asButton(w)) {
        // clicked() comes after an automatic radio button or check box has changed its mark,
        // and also for a click on the radio button that is already selected.
        const Control control = layout.control;
        QObject::connect(button, &QAbstractButton::clicked, frame_.get(),
                         [this, control] { controlClicked(control); });
    }
}

void QtMainWindow::setUpOpenFileDialog(const OpenFileDialogSetup& dialog) {
    openFileDialog_ = dialog;
}

QWidget* QtMainWindow::control(Control c) const { return controls_[static_cast<std::size_t>(c)]; }

Text QtMainWindow::title() { return frame_ ? fromQString(frame_->windowTitle()) : Text(); }

void QtMainWindow::setTitle(const Text& title) {
    if (frame_) frame_->setWindowTitle(toQString(title));
}

Text QtMainWindow::text(Control c) {
    QWidget* w = control(c);
    // The expression is matched by characters, whatever the program's code page: a character
    // the code page lacks is kept as its code point (\x{2726}), not as '?'.
    if (c == Control::ExpressionEdit) {
        if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            const QByteArray utf8 = edit->text().toUtf8();
            return splitter::expressionInCodePage(
                       std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())),
                       programCodePage())
                .text;
        }
    }
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return fromQString(edit->text());
    if (auto* button = asButton(w)) return fromQString(button->text());
    if (auto* label = qobject_cast<QLabel*>(w)) return fromQString(label->text());
    if (auto* group = qobject_cast<QGroupBox*>(w)) return fromQString(group->title());
    return Text();
}

void QtMainWindow::setText(Control c, const Text& text) {
    QWidget* w = control(c);
    const QString q = toQString(text);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->setText(q);
        edit->setCursorPosition(0);  // show the start of a long path, as Windows does
    } else if (auto* button = asButton(w)) {
        button->setText(q);
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(q);
    } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
        group->setTitle(q);
    }
}

bool QtMainWindow::isChecked(Control c) {
    if (closed_) return false;  // as a destroyed Windows control reads
    QAbstractButton* button = asButton(control(c));
    return button && button->isChecked();
}

void QtMainWindow::setChecked(Control c, bool checked) {
    if (QAbstractButton* button = asButton(control(c))) button->setChecked(checked);
}

void QtMainWindow::setEnabled(Control c, bool enabled) {
    if (QWidget* w = control(c)) w->setEnabled(enabled);
}

namespace {

// Throws away the mouse and keyboard input handled at the loop level where it was made. A loop
// nested meanwhile (a box the update thread asks for) gets its input as usual.
class InputEater : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (QThread::currentThread()->loopLevel() != level_) return false;
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride:
            case QEvent::Wheel:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TouchEnd:
                return true;
            default:
                return false;
        }
    }

private:
    const int level_ = QThread::currentThread()->loopLevel();
};

}  // namespace

void QtMainWindow::setBusy(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        return;
    }
    // The clicks and keys of the busy time wait in the queue; handle them now, eaten.
    InputEater eater;
    QCoreApplication::instance()->installEventFilter(&eater);
    QCoreApplication::processEvents();
    QCoreApplication::instance()->removeEventFilter(&eater);
    QApplication::restoreOverrideCursor();
}

int QtMainWindow::runLoop() { return QApplication::exec(); }

// Ends every running loop, the nested ones of message boxes included, as WM_QUIT does.
void QtMainWindow::postQuit(int exitCode) { QCoreApplication::exit(exitCode); }

std::optional<Text> QtMainWindow::showOpenFileDialog() {
    // Qt's own dialog: a desktop portal's dialog can neither be owned by the window nor be
    // driven by the tests.
    QFileDialog dialog(frame_.get(), toQString(openFileDialog_.title));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setWindowModality(Qt::WindowModal);  // blocks the main window only
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);  // like Windows here: the file need not exist
    dialog.setNameFilters(qtNameFilters(openFileDialog_.filters));
    // The detail columns as wide as their texts ("793 KiB", "文本文件"), not cut to "793…".
    if (auto* view = dialog.findChild<QTreeView*>()) {
        for (int column = 1; column < 4; ++column)
            view->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return fromQString(dialog.selectedFiles().constFirst());
}

Text QtMainWindow::browseForFolder(const Text& title) {
    QFileDialog dialog(frame_.get(), toQString(title));
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::ShowDirsOnly);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setFileMode(QFileDialog::Directory);
    // Opens where 输出到 points, or at the nearest folder above it that exists.
    QString start = toQString(text(Control::OutputDirEdit));
    while (!start.isEmpty() && !QFileInfo(start).isDir()) {
        const QString parent = QFileInfo(start).path();
        start = parent == start ? QString() : parent;
    }
    if (!start.isEmpty()) dialog.setDirectory(start);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return Text();
    return fromQString(dialog.selectedFiles().constFirst());
}

MessageBoxAnswer QtMainWindow::showMessageBox(const Text& text, const Text& title,
                                              MessageBoxButtons buttons) {
    return processMessageBoxes().showMessageBox(text, title, buttons);
}

}  // namespace folioknife::app::qt
