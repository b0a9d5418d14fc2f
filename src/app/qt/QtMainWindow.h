#pragma once
// The main window on Linux: Qt Widgets behind the MainWindow interface.
//
// Texts cross into Qt through the program's code page with iconv. Qt's own "local 8-bit"
// conversion is always UTF-8 on Linux, whatever the locale, so it would garble every caption
// under a GBK locale.
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/MainWindow.h"

class QWidget;

namespace folioknife::app::qt {

// A text in the program's code page as a QString; a text ends at its first NUL byte. Bytes
// that are not valid in the code page are shown as '?'.
QString toQString(const Text& text);
// A QString in the program's code page; characters it cannot hold become '?', as the ANSI
// window functions of Windows do.
Text fromQString(const QString& text);

// The open-file dialog's filter ("name|pattern|name|pattern", patterns separated by ';') as
// Qt's name filters ("name (pattern pattern)"). A name that already ends with its pattern in
// parentheses, as "文本文件(*.txt)" does, is taken as it is.
QStringList qtNameFilters(const QString& filter);

// The buttons of a message box and the answers they give, by the low four bits of its flags
// as MessageBoxA reads them. The box is closed with the close button or Escape only when
// closeAnswer is set; that answer is then returned.
struct MessageBoxButton {
    const char* caption;  // UTF-8
    int answer;           // the button's identifier minus one: 0 OK, 5 Yes, 6 No, ...
};
struct MessageBoxLayout {
    std::vector<MessageBoxButton> buttons;
    std::optional<int> closeAnswer;
};
MessageBoxLayout messageBoxLayout(unsigned flags);

class QtMainWindow : public MainWindow {
  public:
    QtMainWindow();
    ~QtMainWindow() override;
    QtMainWindow(const QtMainWindow&) = delete;
    QtMainWindow& operator=(const QtMainWindow&) = delete;

    void create(const std::vector<ControlSpec>& controls,
                const OpenFileDialogSpec& openFileDialog) override;
    Text title() override;
    void setTitle(const Text& title) override;
    Text text(Control control) override;
    void setText(Control control, const Text& text) override;
    bool isChecked(Control control) override;
    void setChecked(Control control, bool checked) override;
    void setEnabled(Control control, bool enabled) override;
    void bindClick(Control control, std::function<void()> handler) override;
    void bindDestroyed(std::function<void()> handler) override;
    int runMessageLoop() override;
    void postQuit(int exitCode) override;
    std::optional<Text> showOpenFileDialog() override;
    Text browseForFolder(const Text& title) override;
    int showMessageBox(const Text& text, const Text& title, unsigned flags) override;

    // The top-level window and a control, once created; null before.
    QWidget* widget() const;
    QWidget* control(Control control) const;

  private:
    class Frame;
    int showMessageBoxHere(const Text& text, const Text& title, unsigned flags);

    std::unique_ptr<Frame> frame_;
    std::array<QWidget*, kControlCount> controls_{};
    std::array<std::function<void()>, kControlCount> clicks_;
    std::function<void()> destroyed_;
    OpenFileDialogSpec openFileDialog_;
};

}  // namespace folioknife::app::qt
