#include "app/qt/QtMainWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QGroupBox>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QVariant>
#include <climits>
#include <map>

#include "splitter/CodePage.h"

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

QStringList qtNameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& name = parts[i];
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (name.endsWith(QLatin1Char('(') + patterns + QLatin1Char(')')))
            filters << name;
        else
            filters << name + QLatin1String(" (") + patterns + QLatin1Char(')');
    }
    return filters;
}

MessageBoxLayout messageBoxLayout(unsigned flags) {
    constexpr int ok = 0, cancel = 1, abort = 2, retry = 3, ignore = 4, yes = 5, no = 6;
    switch (flags & 0xF) {
        case 1:
            return {{{"确定", ok}, {"取消", cancel}}, cancel};
        case 2:
            return {{{"中止", abort}, {"重试", retry}, {"忽略", ignore}}, std::nullopt};
        case 3:
            return {{{"是", yes}, {"否", no}, {"取消", cancel}}, cancel};
        case 4:
            return {{{"是", yes}, {"否", no}}, no};
        case 5:
            return {{{"重试", retry}, {"取消", cancel}}, cancel};
        default:
            return {{{"确定", ok}}, ok};
    }
}

// The top-level window. Closing it (close button, Alt+F4, the window menu) runs the destroyed
// handler, which ends the loop: the window never asks and never refuses.
class QtMainWindow::Frame : public QWidget {
  public:
    explicit Frame(std::function<void()>& onClose)
        : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowCloseButtonHint),
          onClose_(onClose) {}

  protected:
    void closeEvent(QCloseEvent* event) override {
        event->accept();
        if (onClose_) {
            auto handler = onClose_;
            handler();
        }
    }

  private:
    std::function<void()>& onClose_;
};

QtMainWindow::QtMainWindow() = default;
QtMainWindow::~QtMainWindow() = default;

namespace {

// The client area of a 431x299 Windows window with a caption and a thin fixed border: the
// controls' coordinates were laid out for it.
constexpr int kClientWidth = 425;
constexpr int kClientHeight = 270;

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

QWidget* createControl(const ControlSpec& layout, QWidget* parent, QButtonGroup* radios) {
    const QColor face = QApplication::palette().color(QPalette::Active, QPalette::Window);
    const QString caption = toQString(layout.caption);
    QWidget* w = nullptr;
    switch (layout.kind) {
        case ControlKind::PushButton:
            w = new QPushButton(caption, parent);
            break;
        case ControlKind::RadioButton: {
            auto* radio = new QRadioButton(caption, parent);
            radios->addButton(radio);  // exclusive with the other radio button only
            radio->setChecked(layout.checked);
            w = radio;
            break;
        }
        case ControlKind::CheckBox: {
            auto* check = new QCheckBox(caption, parent);
            check->setChecked(layout.checked);
            w = check;
            break;
        }
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(parent);
            edit->setMaxLength(INT_MAX);  // Qt's default stops at 32767 characters
            edit->setText(caption);
            edit->setCursorPosition(0);
            setColours(edit, QPalette::Base, Qt::white, Qt::black, QPalette::Text);
            w = edit;
            break;
        }
        case ControlKind::Label: {
            auto* label = new QLabel(caption, parent);
            label->setTextFormat(Qt::PlainText);  // "<" in a caption is text, not markup
            label->setWordWrap(false);
            // Windows draws a static control's text from its top left corner; the captions
            // were placed for that.
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            w = label;
            break;
        }
        case ControlKind::GroupBox:
            w = new QGroupBox(caption, parent);
            break;
    }
    // Not filled: the style's group boxes have a shade of their own inside, and a filled label
    // would stand out of it as a patch.
    if (layout.kind != ControlKind::PushButton && layout.kind != ControlKind::Edit)
        setColours(w, QPalette::Window, face, Qt::black, QPalette::WindowText);
    if (layout.control == Control::AuthorLabel)
        setColours(w, QPalette::Window, face, QColor(0x00, 0x80, 0x00), QPalette::WindowText);
    w->setObjectName(QString::fromLatin1(controlName(layout.control)));
    w->setProperty("controlId", takeControlId());
    w->setGeometry(layout.x, layout.y, layout.width, layout.height);
    w->setEnabled(layout.enabled);
    // The group boxes are siblings drawn around the others, not their parents: keep them
    // behind, or they would hide what stands inside them.
    if (layout.kind == ControlKind::GroupBox) w->lower();
    w->show();  // the window is already visible; children created later need their own show()
    return w;
}

QAbstractButton* asButton(QWidget* w) { return qobject_cast<QAbstractButton*>(w); }

}  // namespace

void QtMainWindow::create(const std::vector<ControlSpec>& controls,
                          const OpenFileDialogSpec& openFileDialog) {
    // The loop ends when the window is closed, through the destroyed handler, as on Windows;
    // Qt's own rule would also end it when the last message box is closed.
    QApplication::setQuitOnLastWindowClosed(false);

    clicks_ = {};  // a new window has no handlers yet
    destroyed_ = nullptr;
    frame_ = std::make_unique<Frame>(destroyed_);
    frame_->setWindowTitle(toQString(windowTitle()));
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
    frame_->setFixedSize(kClientWidth, kClientHeight);
    frame_->move(50, 50);
    frame_->setAutoFillBackground(true);
    frame_->show();

    auto* radios = new QButtonGroup(frame_.get());
    radios->setExclusive(true);
    int created = 0;
    for (const ControlSpec& layout : controls) {
        if (created == kControlsBeforeOpenFileDialog) openFileDialog_ = openFileDialog;
        QWidget* w = createControl(layout, frame_.get(), radios);
        const auto index = static_cast<std::size_t>(layout.control);
        controls_[index] = w;
        if (QAbstractButton* button = asButton(w)) {
            // clicked() comes after an automatic radio button or check box has changed its
            // mark, and also for a click on the radio button that is already selected.
            QObject::connect(button, &QAbstractButton::clicked, frame_.get(), [this, index] {
                if (!clicks_[index]) return;
                auto handler = clicks_[index];  // a nested binding may replace the slot
                handler();
            });
        }
        ++created;
    }
    if (created <= kControlsBeforeOpenFileDialog) openFileDialog_ = openFileDialog;
}

QWidget* QtMainWindow::widget() const { return frame_.get(); }

QWidget* QtMainWindow::control(Control c) const { return controls_[static_cast<std::size_t>(c)]; }

Text QtMainWindow::title() { return frame_ ? fromQString(frame_->windowTitle()) : Text(); }

void QtMainWindow::setTitle(const Text& title) {
    if (frame_) frame_->setWindowTitle(toQString(title));
}

Text QtMainWindow::text(Control c) {
    QWidget* w = control(c);
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
    QAbstractButton* button = asButton(control(c));
    return button && button->isChecked();
}

void QtMainWindow::setChecked(Control c, bool checked) {
    if (QAbstractButton* button = asButton(control(c))) button->setChecked(checked);
}

void QtMainWindow::setEnabled(Control c, bool enabled) {
    if (QWidget* w = control(c)) w->setEnabled(enabled);
}

void QtMainWindow::bindClick(Control c, std::function<void()> handler) {
    clicks_[static_cast<std::size_t>(c)] = std::move(handler);
}

void QtMainWindow::bindDestroyed(std::function<void()> handler) { destroyed_ = std::move(handler); }

int QtMainWindow::runMessageLoop() { return QApplication::exec(); }

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
    dialog.setNameFilters(qtNameFilters(toQString(openFileDialog_.filter)));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return fromQString(dialog.selectedFiles().constFirst());
}

Text QtMainWindow::browseForFolder(const Text& title) {
    QFileDialog dialog(frame_.get(), toQString(title));
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::ShowDirsOnly);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setFileMode(QFileDialog::Directory);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return Text();
    return fromQString(dialog.selectedFiles().constFirst());
}

int QtMainWindow::showMessageBox(const Text& text, const Text& title, unsigned flags) {
    QCoreApplication* application = QCoreApplication::instance();
    if (!application) return -1;  // the program is ending: nowhere to show a box
    if (QThread::currentThread() == application->thread())
        return showMessageBoxHere(text, title, flags);
    // From the update thread: widgets live on the user-interface thread only. The caller
    // waits for the answer; if the application object goes away first, the queued call is
    // dropped, which releases the caller with "no answer".
    int answer = -1;
    QMetaObject::invokeMethod(
        application, [&] { answer = showMessageBoxHere(text, title, flags); },
        Qt::BlockingQueuedConnection);
    return answer;
}

int QtMainWindow::showMessageBoxHere(const Text& text, const Text& title, unsigned flags) {
    // No parent and not modal: the main window stays usable, and a click there runs its
    // handler inside the loop below, nested in the handler that shows this box.
    auto box = std::make_unique<QMessageBox>();
    box->setWindowModality(Qt::NonModal);
    box->setIcon(QMessageBox::NoIcon);
    box->setTextFormat(Qt::PlainText);
    box->setWindowTitle(toQString(title));
    box->setText(toQString(text));

    const MessageBoxLayout layout = messageBoxLayout(flags);
    std::map<QAbstractButton*, int> answers;
    for (const MessageBoxButton& b : layout.buttons) {
        // One role for all keeps the buttons in Windows' order whatever the desktop's
        // dialog layout.
        QPushButton* button =
            box->addButton(toQString(programText(b.caption)), QMessageBox::ActionRole);
        answers[button] = b.answer;
        if (answers.size() == 1) box->setDefaultButton(button);
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
    return layout.closeAnswer.value_or(-1);
}

}  // namespace folioknife::app::qt
