// folioknife on Linux: the window over Qt Widgets.
#include <QApplication>
#include <QLocale>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/Application.h"
#include "app/qt/QtMainWindow.h"
#include "splitter/CodePage.h"

namespace {

bool hasValue(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace folioknife;
    std::setlocale(LC_ALL, "");
    // A file-size limit makes writing a volume fail with its reason (EFBIG), like a full disk,
    // instead of killing the window with temporary files left behind.
    std::signal(SIGXFSZ, SIG_IGN);

    // Without a display Qt would abort with a message about plugins; say what is wrong.
    if (!hasValue("QT_QPA_PLATFORM") && !hasValue("DISPLAY") && !hasValue("WAYLAND_DISPLAY")) {
        std::fputs(
            "folioknife: there is no display to show the window on (neither DISPLAY nor "
            "WAYLAND_DISPLAY is set).\nTo split a novel in a terminal, use "
            "folioknife-split.\n",
            stderr);
        return 1;
    }

    // Fix the code page before Qt starts: Qt switches LC_CTYPE to UTF-8 when the locale's
    // codeset is anything else.
    splitter::programCodePage();

    // The file argument is the first argument as given. Qt does not see the arguments, so
    // that a novel named like one of Qt's options ("-style") is still the novel.
    std::vector<app::Text> arguments;
    if (argc >= 2) arguments.emplace_back(argv[1]);
    int qtArgc = 1;
    QApplication qtApplication(qtArgc, argv);
    // The file dialogs are Qt's own (see QtMainWindow), and Qt speaks English unless its
    // translations for the user's locale are loaded.
    app::qt::loadQtTranslations(QLocale::system());

    app::qt::QtMainWindow window;
    const int exitCode = app::runProgram(window, app::qt::processMessageBoxes(), arguments);
    // From here on a prompt the update thread still asks for is not shown: the window and the
    // application object are about to go.
    app::qt::processMessageBoxes().close();
    return exitCode;
}
