// Starting programs and finding our executable on Linux.
#include <errno.h>
#include <langinfo.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "shell/Process.h"

#include "shell/CommandLineWords.h"
#include "shell/posix/DesktopEntryFile.h"

extern char** environ;

namespace folioknife::shell {

namespace {

void waitForChild(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

// When the package is upgraded while the program runs, the file it was started from is
// replaced and the link reads "/usr/bin/folioknife (deleted)". The new program stands at the
// plain path, and that is the one an entry written now must start.
Text liveProgramPath(const Text& link) {
    const Text deleted = " (deleted)";
    if (link.size() <= deleted.size() ||
        link.compare(link.size() - deleted.size(), deleted.size(), deleted) != 0) {
        return link;
    }
    // A program whose name really ends so is left as it is.
    struct stat self, named;
    if (stat("/proc/self/exe", &self) == 0 && stat(link.c_str(), &named) == 0 &&
        self.st_dev == named.st_dev && self.st_ino == named.st_ino) {
        return link;
    }
    const Text plain = link.substr(0, link.size() - deleted.size());
    return access(plain.c_str(), X_OK) == 0 ? plain : link;
}

}  // namespace

// The words go to the program as its arguments, so no text is ever read by a shell. There is
// no window state to pass on.
ShellOutcome runCommandLine(const Text& commandLine, bool wait, ShowMode) {
    std::vector<Text> words = splitIntoWords(commandLine);
    if (words.empty()) return ShellOutcome::failed(splitter::programText("空命令行"));
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (const int error = posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ))
        return ShellOutcome::failed(systemReason(error));
    if (wait) {
        waitForChild(pid);
        return ShellOutcome::done();
    }
    // A child nobody waits for stays a zombie for as long as we run; a small detached thread
    // collects it instead. Without that thread it is merely left to the end of the process.
    try {
        std::thread(waitForChild, pid).detach();
    } catch (const std::system_error&) {
    }
    return ShellOutcome::done();
}

Text systemReason(int error) {
    char buffer[256];
    // The GNU strerror_r: the text in the buffer or a static string, in the locale's codeset.
    const char* text = ::strerror_r(error, buffer, sizeof buffer);
    const char* codeset = ::nl_langinfo(CODESET);
    const std::string from =
        codeset && *codeset && std::strcmp(codeset, "ANSI_X3.4-1968") != 0 ? codeset : "UTF-8";
    return splitter::sameCodePage(from, splitter::programCodePage())
               ? Text(text)
               : splitter::convertForDisplay(text, from, splitter::programCodePage());
}

Text executablePath() {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return Text();
        // readlink does not say whether it cut the name short; a full buffer may have.
        if (static_cast<std::size_t>(n) < buffer.size())
            return liveProgramPath(Text(buffer.data(), n));
        if (buffer.size() >= (std::size_t{1} << 20)) return Text();
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace folioknife::shell
