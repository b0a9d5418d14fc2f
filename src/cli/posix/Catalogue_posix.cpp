// gettext: the catalogue beside the program in the build tree (locale/), else the installed
// one, found from the program's folder (../share/locale from /usr/bin).
#include <libintl.h>
#include <unistd.h>

#include <clocale>

#include <sys/stat.h>

#include "cli/Catalogue.h"
#include "splitter/CodePage.h"
#include "splitter/Path.h"
#include "shell/Process.h"

namespace folioknife::cli {

namespace {
constexpr const char* kDomain = "folioknife-split";
bool chinese = false;
}  // namespace

void openCatalogue() {
    const std::string program = shell::programDirectory();
    const auto inProgram = [&](const char* name) {
        return program.empty() ? std::string(name)
                               : splitter::joinPathOnce(program, name, splitter::PathStyle::Posix);
    };
    std::string folder = inProgram("locale");
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        folder = inProgram(FOLIOKNIFE_LOCALEDIR_FROM_BIN);
    bindtextdomain(kDomain, folder.c_str());
    // The texts are converted for the terminal by the caller, like every other text.
    bind_textdomain_codeset(kDomain, "UTF-8");
    // The empty text gives the catalogue's header, and only when a catalogue was found for
    // the user's language: the only one there is is Chinese.
    const char* header = dgettext(kDomain, "");
    chinese = header != nullptr && *header != '\0';
    // The system's reasons (strerror, libzip) follow LC_MESSAGES. Without our catalogue (not
    // a Chinese user, or one who may not read the installed files) every text is English, so
    // theirs must be too: one message never mixes two languages.
    if (!chinese) std::setlocale(LC_MESSAGES, "C");
}

bool chineseMessages() { return chinese; }

std::string tr(const char* english) {
    return chinese ? std::string(dgettext(kDomain, english)) : std::string(english);
}

bool errorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

ProgramArguments programArguments(int argc, char** argv) {
    return ProgramArguments{std::vector<std::string>(argv, argv + argc),
                            splitter::systemCodePage()};
}

}  // namespace folioknife::cli
