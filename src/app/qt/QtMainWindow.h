#pragma once
// The main window on Linux: Qt Widgets under the portable window core.
//
// Texts cross into Qt through the program's code page with iconv. Qt's own "local 8-bit"
// conversion is always UTF-8 on Linux, whatever the locale, so it would garble every caption
// under a GBK locale.
#include <QString>
#include <QStringList>
#include <array>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "app/MainWindow.h"

class QButtonGroup;
class QLocale;
class QMimeData;
class QWidget;

namespace folioknife::app::qt {

// A text in the program's code page as a QString; a text ends at its first NUL byte. Bytes
// that are not valid in the code page are shown as '?'.
QString toQString(const Text& text);
// A QString in the program's code page; characters it cannot hold become '?', as the ANSI
// window functions of Windows do.
Text fromQString(const QString& text);

// The open-file dialog's type list as Qt's name filters ("name (pattern pattern)"). A name
// that already ends with its patterns in parentheses, as "文本文件(*.txt)" does, is taken as it
// is.
QStringList qtNameFilters(const std::vector<FileFilter>& filters);

// The local files of a drag, as the file names' own bytes: a file manager sends them as URLs
// whose percent escapes are those bytes, whatever the locale. Anything but local files gives
// nothing.
std::vector<Text> droppedFiles(const QMimeData& data);

// Qt's own texts (the file dialogs' buttons and labels, the edits' context menu) in the
// language of 'locale', from Qt's translations where the system has them; the program's own
// texts do not change. False when there is no translation for the locale (English stays).
bool loadQtTranslations(const QLocale& locale);

// The buttons of a message box in Windows' order and the answers they give. The box is closed
// with the close button or Escape only when closeAnswer is set; that answer is then returned.
struct MessageBoxButton {
    const char* caption;  // UTF-8
    MessageBoxAnswer answer;
};
struct MessageBoxLayout {
    std::vector<MessageBoxButton> buttons;
    std::optional<MessageBoxAnswer> closeAnswer;
};
MessageBoxLayout messageBoxLayout(MessageBoxButtons buttons);

// Message boxes for the whole process, from any thread. Widgets live on the user-interface
// thread only, so a box asked for elsewhere is shown there while the asking thread waits.
// Once closed, which main() does before the application object goes, no box is shown any
// more and every waiting or later request gets MessageBoxAnswer::None: the update thread,
// never waited for, must not reach a window or an application that is gone.
class QtMessageBoxes : public splitter::MessageBoxService {
public:
    MessageBoxAnswer showMessageBox(const Text& text, const Text& title,
                                    MessageBoxButtons buttons) override;
    void close();
    bool isOpen();

private:
    std::mutex mutex_;
    bool open_ = true;
};

// The one instance, made at first use and never destroyed, so that a thread still running
// while the process ends finds it.
QtMessageBoxes& processMessageBoxes();

class QtMainWindow : public MainWindow {
public:
    QtMainWindow();
    ~QtMainWindow() override;
    QtMainWindow(const QtMainWindow&) = delete;
    QtMainWindow& operator=(const QtMainWindow&) = delete;

    Text title() override;
    void setTitle(const Text& title) override;
    Text text(Control control) override;
    void setText(Control control, const Text& text) override;
    bool isChecked(Control control) override;
    void setChecked(Control control, bool checked) override;
    void setEnabled(Control control, bool enabled) override;
    // Qt's override cursor; the input that came while busy is thrown away on leaving.
    void setBusy(bool busy) override;
    void postQuit(int exitCode) override;
    std::optional<Text> showOpenFileDialog() override;
    Text browseForFolder(const Text& title) override;
    // Through processMessageBoxes().
    MessageBoxAnswer showMessageBox(const Text& text, const Text& title,
                                    MessageBoxButtons buttons) override;

    // A control, once created; null before.
    QWidget* control(Control control) const;

protected:
    void createWindow(const Text& title, const WindowLayout& layout) override;
    void createControl(const ControlLayout& layout, int id) override;
    void setUpOpenFileDialog(const OpenFileDialogSetup& dialog) override;
    int runLoop() override;

private:
    class Frame;

    std::unique_ptr<Frame> frame_;
    QButtonGroup* radios_ = nullptr;  // owned by the frame
    std::array<QWidget*, kControlCount> controls_{};
    bool closed_ = false;  // the window was closed: its controls are gone
    OpenFileDialogSetup openFileDialog_;
};

}  // namespace folioknife::app::qt
